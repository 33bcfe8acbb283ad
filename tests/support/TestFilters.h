#pragma once
// A sink that records message boxes, a logger that keeps the event records it
// is sent, and a filter that serves a few settings, tagged values and commands.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/CFilter.h"
#include "framework/EventReport.h"
#include "framework/FilterCodes.h"
#include "framework/MessageBoxSink.h"

namespace corvanta::test {

class RecordingMessageBoxes : public CMessageBoxSink {
public:
    RecordingMessageBoxes() { InstallMessageBoxSink(this); }
    ~RecordingMessageBoxes() override { RemoveMessageBoxSink(this); }
    void Show(const std::string& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

// "Main Event Logger": keeps every record that command 9 brings.
class EventCollector : public CFilter {
public:
    EventCollector() {
        Init(CFilterDescriptor{.name = kEventLoggerName, .classCode = kFilterClassService,
                               .typeCode = kFilterTypeNone, .version = "1.0.0"});
    }
    ~EventCollector() override { Close(); }

    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kEventLogCommand || q->dataLength != sizeof(EventRecord)) return 0;
        EventRecord r;
        std::memcpy(&r, q->data, sizeof r);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_records.push_back(r);
        }
        a->status = kIcpStatusDone;
        return 1;
    }
    std::vector<EventRecord> Records() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_records;
    }
    static std::string Text(const EventRecord& r) {
        const char* t = reinterpret_cast<const char*>(r.data);
        return std::string(t, strnlen(t, std::min<uint32_t>(r.dataLength, kEventDataSize)));
    }

private:
    std::mutex m_mutex;
    std::vector<EventRecord> m_records;
};

// A filter with settings "Greeting" ("hello"), "Empty" (never set) and the
// copyable "Speed" (4 bytes, 7), and the tagged entries "Level" (word 5) and
// "Label" (text "abc"). Command 100 answers its data reversed with param1 + 1,
// command 101 answers param1 bytes of 'z'.
class SettingsFilter : public CFilter {
public:
    explicit SettingsFilter(const std::string& name, uint32_t ownThread = 1, uint32_t answerCapacity = 16000) {
        Settings().Declare(SettingDecl{"Greeting", kSettingText, 101, 0});
        Settings().SetText("Greeting", "hello");
        Settings().Declare(SettingDecl{"Empty", kSettingBytes, 16, 0});
        Settings().Declare(SettingDecl{"Speed", kSettingInt, 0, kSettingCopyable});
        Settings().SetInt("Speed", 7);
        TaggedValues().Declare("Level", kTaggedUWord, 0, 0);
        TaggedValues().SetWord("Level", 5);
        TaggedValues().DeclareFrom("Label", CTaggedValue(std::string_view("abc")), 0);
        Init(CFilterDescriptor{.name = name, .classCode = kFilterClassDialog, .typeCode = kFilterTypeMainDialog,
                               .ownThread = ownThread, .version = "1.0.0", .answerCapacity = answerCapacity});
        PublishInfo();
    }
    ~SettingsFilter() override { Close(); }

    int OnUpdateSettings() override { return ++updates; }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || (q->code != 100 && q->code != 101)) return CFilter::OnIcp(q, a);
        ++handled;
        const uint32_t n = std::min(q->code == 100 ? q->dataLength : q->param1, Descriptor().answerCapacity);
        if (q->code == 100)
            std::reverse_copy(q->data, q->data + n, a->data);
        else
            std::memset(a->data, 'z', n);
        a->dataLength = n;
        a->param1 = q->code == 100 ? q->param1 + 1 : 0;
        a->kind = kIcpCommandAnswer;
        a->status = kIcpStatusDone;
        return 1;
    }
    std::atomic<int> updates{0}, handled{0};
};

}  // namespace corvanta::test
