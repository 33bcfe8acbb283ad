#pragma once
// The generated archive the stand-in serves: a few sources with different
// frame sizes and rates, each with recordings spread over recent days.
// Everything is derived from a seed and an anchor date, so two archives made
// with the same pair are identical, and nothing per frame is stored: frames,
// activity and frame tables are computed from the recordings' motion models.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "recorder/Calendar.h"

namespace corvanta::recorder {

// One moving object of a recording. Positions are fractions of the frame
// (0..1, centre of the object); times are seconds from the recording's start.
struct MovingObject {
    double appear = 0;
    double vanish = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double width = 0, height = 0;
    uint8_t red = 0, green = 0, blue = 0;
    bool round = false;  // people are drawn round, vehicles square

    bool visibleAt(double t) const { return t >= appear && t < vanish; }
    double xAt(double t) const { return x0 + (x1 - x0) * (t - appear) / (vanish - appear); }
    double yAt(double t) const { return y0 + (y1 - y0) * (t - appear) / (vanish - appear); }
};

struct DemoSource {
    std::string id;           // key in every archive command, e.g. "CAM01"
    std::string displayName;  // e.g. "Entrance"
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t scale = 1;  // frames per second = rate / scale
    uint32_t rate = 25;
    uint32_t index = 0;  // position in the source list
};

struct Recording {
    uint32_t fileNumber = 0;  // unique across the archive
    uint32_t source = 0;      // index into the source list
    Seconds start = 0;        // first second recorded
    Seconds stop = 0;         // end, exclusive
    uint32_t frameCount = 0;
    std::string fileName;     // e.g. D:\Archive\CAM01\2026\12\05\083000.avi
    uint64_t motionSeed = 0;  // seeds the recording's moving objects
};

// Another frame rate for one of the demo's sources (by id), for runs that
// need, say, a large picture at 25 frames per second.
struct SourceRate {
    std::string id;
    uint32_t scale = 1;
    uint32_t rate = 25;
};

// Another id and display name for one of the demo's sources (by its demo
// id), for runs that need texts the recorder keeps as bytes of an 8-bit
// code page.
struct SourceRename {
    std::string id;
    std::string newId;
    std::string displayName;
};

class DemoArchive {
public:
    // `busySource` adds "CAM06" ("Busy door"), which records a one-minute
    // file every 160 s around the clock: some 540 files a day, for runs that
    // need a crowded day.
    DemoArchive(uint64_t seed, CivilDate anchor, std::vector<SourceRate> rates = {}, bool busySource = false,
                std::vector<SourceRename> renames = {});

    uint64_t seed() const { return seed_; }
    CivilDate anchor() const { return anchor_; }
    CivilDate firstDay() const { return firstDay_; }

    const std::vector<DemoSource>& sources() const { return sources_; }
    const DemoSource* findSource(std::string_view id) const;
    const DemoSource& sourceOf(const Recording& rec) const { return sources_[rec.source]; }

    // Recordings of a source, sorted by start time.
    const std::vector<Recording>& recordings(uint32_t source) const { return bySource_[source]; }
    size_t recordingCount() const { return fileCount_; }

    // Recordings of a source that overlap [from, until).
    std::vector<const Recording*> overlapping(uint32_t source, Seconds from, Seconds until) const;
    const Recording* covering(uint32_t source, Seconds t) const;

    // A file by its name, compared without regard to letter case as the
    // recorder's file system does.
    const Recording* findFile(std::string_view fileName) const;
    const Recording* findFileNumber(uint32_t source, uint32_t fileNumber) const;

    // The live buffer of a source, named by its id followed by "MEMORY": the
    // stand-in plays the source's latest recording there. Nothing for a
    // source that never recorded.
    const Recording* findLiveBuffer(std::string_view name) const;

    // Months (year * 100 + month, ascending) and days of a month in which a
    // source has recordings; a recording counts for every day it touches.
    std::vector<uint32_t> months(uint32_t source) const;
    std::vector<uint8_t> days(uint32_t source, int year, unsigned month) const;

    // Moving objects of a recording, sorted by appearance.
    std::vector<MovingObject> motion(const Recording& rec) const;

    // 0..200 for a recorded second (0 = nothing moves), 255 when the source
    // recorded nothing then.
    uint8_t activityAt(uint32_t source, Seconds t) const;
    // Activity of every second of [from, from + count), sharing the motion
    // model of each recording across its seconds.
    std::vector<uint8_t> activity(uint32_t source, Seconds from, uint32_t count) const;

    // First frame shown within second t of the recording's source, or nothing
    // when no frame starts in that second.
    std::optional<uint32_t> frameInSecond(const Recording& rec, Seconds t) const;
    std::vector<uint32_t> frameTable(uint32_t source, Seconds from, uint32_t count) const;

    // Time of a frame in milliseconds from the recording's start, and how long
    // it stays on screen before the next one.
    uint64_t frameTimeMs(const Recording& rec, uint32_t frame) const;
    uint32_t holdTimeMs(const Recording& rec, uint32_t frame) const;

    // Activity level of a set of objects over one second starting at t
    // (seconds from the recording's start).
    static uint8_t activityOf(const std::vector<MovingObject>& objects, double t);

private:
    void generate();

    uint64_t seed_;
    CivilDate anchor_;
    std::vector<SourceRate> rates_;
    std::vector<SourceRename> renames_;
    bool busySource_ = false;
    CivilDate firstDay_;
    std::vector<DemoSource> sources_;
    std::vector<std::vector<Recording>> bySource_;
    size_t fileCount_ = 0;
    std::unordered_map<std::string, const Recording*> byLowerName_;
};

// Names a recording the way the recorder does: drive, archive folder, source,
// date folders and the start time.
std::string recordingFileName(const std::string& sourceId, Seconds start);

}  // namespace corvanta::recorder
