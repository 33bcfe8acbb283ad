#pragma once
// The archive trees' node model: one ArchiveNode per tree item, owning its
// payload, and through the payload's list all its children. The motion
// history view reads a day's payload (its sessions and activity) and
// playback fills a session's frame table, so this header is shared with
// the playback views below the trees; it has no widgets in it.
//
// A day payload is handed to the motion history view as a 32-bit handle
// (an ICP parameter cannot carry a pointer): FindDayPayload resolves it for
// as long as the payload lives, and never after.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "stores/CNamedMutex.h"

namespace corvanta {

enum class NodeKind : uint32_t { Source = 0, Month = 1, Day = 2, Session = 3 };

struct ArchiveNode;

// Owns its nodes. Lock around every use from a second thread.
class ArchiveNodeList {
public:
    int Lock() { return m_mutex.Lock(); }
    int Unlock() { return m_mutex.Unlock(); }

    ArchiveNode* Add(std::unique_ptr<ArchiveNode> node) {
        m_nodes.push_back(std::move(node));
        return m_nodes.back().get();
    }
    size_t Size() const { return m_nodes.size(); }
    // Null past the end.
    ArchiveNode* At(size_t i) const { return i < m_nodes.size() ? m_nodes[i].get() : nullptr; }
    void Clear() { m_nodes.clear(); }

private:
    std::vector<std::unique_ptr<ArchiveNode>> m_nodes;
    CNamedMutex m_mutex;
};

inline constexpr size_t kFileDescriptionWords = 39;

// What a playable node (a session, or a source's live buffer) knows.
struct SessionPayload {
    uint32_t index = 0;  // position in its day's list
    uint32_t subItems = 0;
    std::vector<uint32_t> secondTable;  // frame number per second; filled by playback
    uint16_t day = 0, year = 0, month = 0;
    std::string sourceId, sourceName;
    std::string fileName;
    std::string label;
    uint32_t fileNumber = 0;
    std::array<uint32_t, kFileDescriptionWords> fileDescription{};  // from "AVIPlayback Manager"
    SystemTime start{}, stop{};
};

struct SourcePayload : SessionPayload {
    ArchiveNodeList months;
};

struct MonthPayload {
    ArchiveNodeList days;
    uint16_t year = 0, month = 0;
    std::string sourceId, sourceName, label;
};

class DayPayload;
// The live day payload behind `handle`, or null once it is gone.
DayPayload* FindDayPayload(uint32_t handle);

class DayPayload {
public:
    DayPayload() : m_handle(Registry().Add(this)) {}
    ~DayPayload() { Registry().Remove(m_handle); }
    DayPayload(const DayPayload&) = delete;
    DayPayload& operator=(const DayPayload&) = delete;

    uint32_t Handle() const { return m_handle; }

    ArchiveNodeList sessions;
    uint16_t day = 0, year = 0, month = 0;
    std::string sourceId, sourceName, label;
    std::vector<uint8_t> activity;    // one byte per second from 00:00:00, as answered
    uint32_t activityDataLength = 0;  // dataLength of that answer; 0 until one came
    bool moreSessions = false;        // the recorder's list was cut: it has more than `sessions`

private:
    friend DayPayload* FindDayPayload(uint32_t handle);
    class HandleTable {
    public:
        uint32_t Add(DayPayload* day) {
            std::lock_guard lock(m_mutex);
            while (++m_next == 0 || m_days.count(m_next)) {}
            m_days[m_next] = day;
            return m_next;
        }
        void Remove(uint32_t handle) {
            std::lock_guard lock(m_mutex);
            m_days.erase(handle);
        }
        DayPayload* Find(uint32_t handle) {
            std::lock_guard lock(m_mutex);
            auto it = m_days.find(handle);
            return it == m_days.end() ? nullptr : it->second;
        }

    private:
        std::mutex m_mutex;
        std::unordered_map<uint32_t, DayPayload*> m_days;
        uint32_t m_next = 0;
    };
    static HandleTable& Registry() {
        static HandleTable table;
        return table;
    }
    uint32_t m_handle;
};

inline DayPayload* FindDayPayload(uint32_t handle) { return DayPayload::Registry().Find(handle); }

struct ArchiveNode {
    explicit ArchiveNode(NodeKind k) : kind(k) {
        switch (k) {
            case NodeKind::Source: source = std::make_unique<SourcePayload>(); break;
            case NodeKind::Month: month = std::make_unique<MonthPayload>(); break;
            case NodeKind::Day: day = std::make_unique<DayPayload>(); break;
            case NodeKind::Session: session = std::make_unique<SessionPayload>(); break;
        }
    }

    // The fields a source or a session plays with; null for months and days.
    SessionPayload* Playable() { return source ? source.get() : session.get(); }

    NodeKind kind;
    uint32_t expanded = 0;  // 1 once its children were loaded
    uint32_t opened = 0;    // 1 once its first selection's work was done
    uint32_t key = 0;       // the tree item's key: the FileKey a player reports back
    // Exactly one payload, by kind.
    std::unique_ptr<SourcePayload> source;
    std::unique_ptr<MonthPayload> month;
    std::unique_ptr<DayPayload> day;
    std::unique_ptr<SessionPayload> session;
};

}  // namespace corvanta
