#pragma once
// The class and type codes a filter publishes in its FilterInfoBlock and that
// every event report of it carries. Nothing compares them: they tell a reader
// of the event log what kind of filter spoke.
//
// Choosing a new one: a new filter takes the class of its kind from this list;
// a new kind of filter takes a type code of its own, the next number above the
// highest one here, so log entries of the two stay apart. Never reuse a code.

#include <cstdint>

namespace corvanta {

// Class codes.
inline constexpr uint32_t kFilterClassManager = 1;   // the playback manager
inline constexpr uint32_t kFilterClassDialog = 7;    // filters that own a dialog: main dialog, players, motion history
inline constexpr uint32_t kFilterClassService = 8;   // translator, user access, event logger, frame sources
inline constexpr uint32_t kFilterClassQuery = 9;     // the archive query

// Type codes.
inline constexpr uint32_t kFilterTypeNone = 0;           // the event logger
inline constexpr uint32_t kFilterTypeArchiveQuery = 8;
inline constexpr uint32_t kFilterTypeTranslator = 16;
inline constexpr uint32_t kFilterTypeUserAccess = 17;
inline constexpr uint32_t kFilterTypePlayback = 24;      // playback manager, players, frame sources, motion history
inline constexpr uint32_t kFilterTypeMainDialog = 26;

}  // namespace corvanta
