#pragma once
// Stand-ins for what the day timeline talks to: "AVIPlayback Manager" that
// knows some files, "AVIArchive Query" that answers frame tables (or fails
// while told to), and a second player that only keeps what it is sent; and
// a day payload built from a list of sessions. Each fake runs on a thread of
// its own and keeps every command it handled.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "archive/ArchiveNodes.h"
#include "framework/CFilter.h"
#include "playback/PlaybackRecords.h"
#include "playback/PlayerRecords.h"

namespace corvanta::test {

struct Received {
    uint32_t code = 0, param1 = 0, param2 = 0;
    std::vector<uint8_t> data;

    std::string Text() const { return std::string(data.begin(), std::find(data.begin(), data.end(), 0)); }
    template <typename T>
    T As() const {
        T value{};
        std::memcpy(&value, data.data(), std::min(sizeof value, data.size()));
        return value;
    }
};

class FakeFilter : public CFilter {
public:
    explicit FakeFilter(const char* name) { Init(CFilterDescriptor(name, 9, 0, 0, 0, 1, "1.0.0", 16000, 400000)); }
    ~FakeFilter() override { Close(); }

    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        std::lock_guard lock(m_mutex);
        m_received.push_back({q->code, q->param1, q->param2, std::vector<uint8_t>(q->data, q->data + q->dataLength)});
        a->kind = kIcpCommandAnswer;
        a->dataLength = 0;
        const int result = Answer(m_received.back(), a);
        a->status = result ? kIcpStatusDone : kIcpStatusFailed;
        return result;
    }
    std::vector<Received> Take() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_received, {});
    }

protected:
    virtual int Answer(const Received&, IcpRecord*) { return 1; }
    std::mutex m_mutex;

private:
    std::vector<Received> m_received;
};

// Opens the files it was given; every file has 640 x 480 frames at 25 per second.
class FakeManager : public FakeFilter {
public:
    explicit FakeManager(std::vector<std::string> files) : FakeFilter(kPlaybackManagerFilterName), m_files(files) {}
    int Answer(const Received& r, IcpRecord* a) override {
        if (r.code != kPlaybackOpenFile) return 1;
        if (std::find(m_files.begin(), m_files.end(), r.Text()) == m_files.end()) return 0;
        FileDescription d{};
        d.info.width = 640;
        d.info.height = 480;
        d.info.scale = 1;
        d.info.rate = 25;
        d.frameCount = 90000;
        std::memcpy(a->data, &d, sizeof d);
        a->dataLength = sizeof d;
        return 1;
    }

private:
    std::vector<std::string> m_files;
};

// Answers command 8 with the table of the window's start second, or fails
// while `failing` is set.
class FakeArchive : public FakeFilter {
public:
    FakeArchive() : FakeFilter(kArchiveQueryFilterName) {}
    void SetTable(int32_t fromSecond, std::vector<uint32_t> table) {
        std::lock_guard lock(m_mutex);
        m_tables[fromSecond] = std::move(table);
    }
    void SetFailing(bool failing) {
        std::lock_guard lock(m_mutex);
        m_failing = failing;
    }
    int Answer(const Received& r, IcpRecord* a) override {
        const TimeQuery q = r.As<TimeQuery>();
        const auto it = m_tables.find(q.from.hour * 3600 + q.from.minute * 60 + q.from.second);
        if (m_failing || r.code != kArchiveSecondIndex || it == m_tables.end()) return 0;
        DayWindowHeader head{q.from, q.to, uint32_t(it->second.size())};
        std::memcpy(a->data, &head, sizeof head);
        std::memcpy(a->data + sizeof head, it->second.data(), it->second.size() * 4);
        a->dataLength = uint32_t(sizeof head + it->second.size() * 4);
        return 1;
    }

private:
    std::map<int32_t, std::vector<uint32_t>> m_tables;
    bool m_failing = false;
};

inline SystemTime At(uint16_t day, int32_t second) {
    SystemTime t{};
    t.year = 2026;
    t.month = 12;
    t.day = day;
    t.hour = uint16_t(second / 3600);
    t.minute = uint16_t(second / 60 % 60);
    t.second = uint16_t(second % 60);
    return t;
}

struct SessionSpec {
    std::string fileName;
    uint16_t startDay;
    int32_t start;
    uint16_t stopDay;
    int32_t stop;
};

// A day of December 2026 with the given sessions and activity bytes.
inline std::unique_ptr<DayPayload> MakeDay(uint16_t day, const std::vector<SessionSpec>& sessions,
                                           std::vector<uint8_t> activity = {}) {
    auto payload = std::make_unique<DayPayload>();
    payload->year = 2026;
    payload->month = 12;
    payload->day = day;
    payload->sourceId = "CAM01";
    for (const SessionSpec& spec : sessions) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        node->session->index = uint32_t(payload->sessions.Size());
        node->session->fileName = spec.fileName;
        node->session->sourceId = payload->sourceId;
        node->session->start = At(spec.startDay, spec.start);
        node->session->stop = At(spec.stopDay, spec.stop);
        payload->sessions.Add(std::move(node));
    }
    payload->activityDataLength = uint32_t(activity.size() + 36);
    payload->activity = std::move(activity);
    return payload;
}

}  // namespace corvanta::test
