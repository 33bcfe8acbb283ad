#include "recorder/DemoArchive.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <set>

namespace corvanta::recorder {
namespace {

// splitmix64: small, fast and good enough to make a believable schedule.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform integer in [lo, hi].
    int64_t between(int64_t lo, int64_t hi) {
        if (hi <= lo) return lo;
        return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    double uniform(double lo, double hi) { return lo + (hi - lo) * (static_cast<double>(next() >> 11) / 9007199254740992.0); }

private:
    uint64_t state_;
};

uint64_t mix(uint64_t a, uint64_t b) { return Rng(a * 0x100000001B3ull ^ b).next(); }

// How a source records: its daily window, the length of its files and of the
// gaps between them, and how busy its scene is.
struct Schedule {
    Seconds dayStart;     // seconds of the day at which recording may begin
    Seconds dayEnd;       // no file runs past this (seconds of the day)
    Seconds fileMin, fileMax;
    Seconds gapMin, gapMax;
    bool nightFile;       // one more file each night that runs past midnight
    double objectGap;     // mean seconds between two objects entering the scene
    double objectLife;    // mean seconds an object takes to cross the scene
};

struct SourcePlan {
    const char* id;
    const char* name;
    uint32_t width, height, scale, rate;
    bool records;
    Schedule schedule;
};

// The demo's cameras: the three frame sizes a viewer must cope with, rates
// from 25 frames per second down to one frame every 1.5 s (so that some
// seconds have no frame), and one input that never recorded.
const SourcePlan kPlans[] = {
    {"CAM01", "Entrance", 704, 576, 1, 25, true, {6 * 3600, 23 * 3600 + 40 * 60, 480, 1800, 60, 720, true, 35, 10}},
    {"CAM02", "Car park", 1600, 1200, 1, 15, true, {7 * 3600, 20 * 3600, 180, 900, 120, 1500, false, 50, 14}},
    {"CAM03", "Corridor", 352, 288, 2, 25, true, {0, 86400, 1200, 3600, 0, 300, false, 90, 8}},
    {"CAM04", "Loading bay", 640, 480, 3, 2, true, {5 * 3600, 22 * 3600, 60, 360, 600, 3600, false, 15, 25}},
    {"CAM05", "Spare input", 704, 576, 1, 25, false, {0, 0, 0, 0, 0, 0, false, 0, 0}},
};
const SourcePlan kBusyPlan{"CAM06", "Busy door", 352, 288, 1, 25, true, {0, 86400, 60, 60, 100, 100, false, 20, 6}};

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string recordingFileName(const std::string& sourceId, Seconds start) {
    const SystemTime st = toSystemTime(start);
    char buf[128];
    std::snprintf(buf, sizeof buf, "D:\\Archive\\%s\\%04u\\%02u\\%02u\\%02u%02u%02u.avi", sourceId.c_str(), st.year,
                  st.month, st.day, st.hour, st.minute, st.second);
    return buf;
}

DemoArchive::DemoArchive(uint64_t seed, CivilDate anchor, std::vector<SourceRate> rates, bool busySource,
                         std::vector<SourceRename> renames)
    : seed_(seed), anchor_(anchor), rates_(std::move(rates)), renames_(std::move(renames)), busySource_(busySource) {
    // At least six days, and always the last two days of the previous month,
    // so that every archive has a month boundary to browse across.
    const int64_t anchorDay = daysFromCivil(anchor);
    const int64_t lastOfPreviousMonth = daysFromCivil(CivilDate{anchor.year, anchor.month, 1}) - 1;
    firstDay_ = civilFromDays(std::min(anchorDay - 5, lastOfPreviousMonth - 1));
    generate();
}

void DemoArchive::generate() {
    const int64_t first = daysFromCivil(firstDay_);
    const int64_t last = daysFromCivil(anchor_);
    uint32_t fileNumber = 0;
    std::vector<SourcePlan> plans(std::begin(kPlans), std::end(kPlans));
    if (busySource_) plans.push_back(kBusyPlan);
    for (SourcePlan plan : plans) {
        for (const SourceRate& r : rates_) {
            if (r.id == plan.id && r.rate != 0 && r.scale != 0) {
                plan.scale = r.scale;
                plan.rate = r.rate;
            }
        }
        DemoSource src{plan.id, plan.name, plan.width, plan.height, plan.scale, plan.rate,
                       static_cast<uint32_t>(sources_.size())};
        for (const SourceRename& r : renames_) {
            if (r.id == plan.id) {
                src.id = r.newId;
                src.displayName = r.displayName;
            }
        }
        std::vector<Recording> recs;
        auto add = [&](Seconds start, Seconds stop) {
            Recording r;
            r.fileNumber = fileNumber++;
            r.source = src.index;
            r.start = start;
            r.stop = stop;
            r.frameCount = static_cast<uint32_t>((stop - start) * plan.rate / plan.scale);
            r.fileName = recordingFileName(src.id, start);
            r.motionSeed = mix(mix(seed_, src.index), static_cast<uint64_t>(start));
            recs.push_back(std::move(r));
        };
        if (plan.records) {
            const Schedule& s = plan.schedule;
            for (int64_t day = first; day <= last; ++day) {
                Rng rng(mix(mix(seed_, src.index + 1), static_cast<uint64_t>(day)));
                const Seconds base = day * kSecondsPerDay;
                Seconds t = s.dayStart + rng.between(0, s.gapMax);
                while (t + s.fileMin <= s.dayEnd) {
                    const Seconds len = std::min(rng.between(s.fileMin, s.fileMax), s.dayEnd - t);
                    add(base + t, base + t + len);
                    t += len + rng.between(s.gapMin, s.gapMax);
                }
                // The anchor day is today: its night has not happened yet.
                if (s.nightFile && day != last) {
                    add(base + 23 * 3600 + 50 * 60 + rng.between(0, 59), base + kSecondsPerDay + 20 * 60 + rng.between(0, 59));
                }
            }
        }
        sources_.push_back(std::move(src));
        fileCount_ += recs.size();
        bySource_.push_back(std::move(recs));
    }
    for (const auto& recs : bySource_)
        for (const Recording& r : recs) byLowerName_.emplace(lowerCase(r.fileName), &r);
}

const DemoSource* DemoArchive::findSource(std::string_view id) const {
    for (const DemoSource& s : sources_)
        if (s.id == id) return &s;
    return nullptr;
}

std::vector<const Recording*> DemoArchive::overlapping(uint32_t source, Seconds from, Seconds until) const {
    std::vector<const Recording*> out;
    if (source >= bySource_.size()) return out;
    const auto& recs = bySource_[source];
    // Recordings do not overlap, so stops ascend with starts.
    auto it = std::upper_bound(recs.begin(), recs.end(), from, [](Seconds t, const Recording& r) { return t < r.stop; });
    for (; it != recs.end() && it->start < until; ++it) out.push_back(&*it);
    return out;
}

const Recording* DemoArchive::covering(uint32_t source, Seconds t) const {
    if (source >= bySource_.size()) return nullptr;
    const auto& recs = bySource_[source];
    auto it = std::upper_bound(recs.begin(), recs.end(), t, [](Seconds v, const Recording& r) { return v < r.stop; });
    if (it != recs.end() && it->start <= t) return &*it;
    return nullptr;
}

const Recording* DemoArchive::findFile(std::string_view fileName) const {
    auto it = byLowerName_.find(lowerCase(fileName));
    return it == byLowerName_.end() ? nullptr : it->second;
}

const Recording* DemoArchive::findFileNumber(uint32_t source, uint32_t fileNumber) const {
    if (source >= bySource_.size()) return nullptr;
    const auto& recs = bySource_[source];
    auto it = std::lower_bound(recs.begin(), recs.end(), fileNumber,
                               [](const Recording& r, uint32_t n) { return r.fileNumber < n; });
    if (it != recs.end() && it->fileNumber == fileNumber) return &*it;
    return nullptr;
}

const Recording* DemoArchive::findLiveBuffer(std::string_view name) const {
    constexpr std::string_view kSuffix = "MEMORY";
    if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) return nullptr;
    const DemoSource* src = findSource(name.substr(0, name.size() - kSuffix.size()));
    if (!src || bySource_[src->index].empty()) return nullptr;
    return &bySource_[src->index].back();
}

std::vector<uint32_t> DemoArchive::months(uint32_t source) const {
    std::set<uint32_t> found;
    if (source < bySource_.size()) {
        for (const Recording& r : bySource_[source]) {
            for (int64_t d = daysFromCivil(dateOf(r.start)); d <= daysFromCivil(dateOf(r.stop - 1)); ++d) {
                const CivilDate c = civilFromDays(d);
                found.insert(static_cast<uint32_t>(c.year) * 100 + c.month);
            }
        }
    }
    return {found.begin(), found.end()};
}

std::vector<uint8_t> DemoArchive::days(uint32_t source, int year, unsigned month) const {
    std::vector<uint8_t> out;
    const unsigned n = daysInMonth(year, month);
    if (n == 0 || source >= bySource_.size()) return out;
    for (unsigned day = 1; day <= n; ++day) {
        const Seconds from = startOfDay(CivilDate{year, month, day});
        if (!overlapping(source, from, from + kSecondsPerDay).empty()) out.push_back(static_cast<uint8_t>(day));
    }
    return out;
}

std::vector<MovingObject> DemoArchive::motion(const Recording& rec) const {
    // The busy source comes after the demo's plans.
    const Schedule& s = rec.source < std::size(kPlans) ? kPlans[rec.source].schedule : kBusyPlan.schedule;
    std::vector<MovingObject> objects;
    Rng rng(rec.motionSeed);
    const double duration = static_cast<double>(rec.stop - rec.start);
    double t = rng.uniform(0, s.objectGap);
    while (t < duration) {
        MovingObject o;
        o.round = rng.next() % 3 != 0;
        if (o.round) {
            o.width = rng.uniform(0.04, 0.08);
            o.height = rng.uniform(0.14, 0.26);
        } else {
            o.width = rng.uniform(0.14, 0.26);
            o.height = rng.uniform(0.08, 0.14);
        }
        o.appear = t;
        o.vanish = t + s.objectLife * rng.uniform(0.6, 1.6);
        const bool leftToRight = rng.next() % 2 == 0;
        o.x0 = leftToRight ? o.width / 2 : 1 - o.width / 2;
        o.x1 = 1 - o.x0;
        o.y0 = rng.uniform(0.45, 0.9 - o.height / 2);
        o.y1 = std::clamp(o.y0 + rng.uniform(-0.1, 0.1), 0.45, 0.95 - o.height / 2);
        o.red = static_cast<uint8_t>(rng.between(40, 255));
        o.green = static_cast<uint8_t>(rng.between(40, 255));
        o.blue = static_cast<uint8_t>(rng.between(40, 255));
        objects.push_back(o);
        t += s.objectGap * rng.uniform(0.3, 1.7);
    }
    return objects;
}

uint8_t DemoArchive::activityOf(const std::vector<MovingObject>& objects, double t) {
    double level = 0;
    for (const MovingObject& o : objects) {
        if (o.appear < t + 1 && o.vanish > t) level += 20 + 600 * o.width * o.height;
    }
    return static_cast<uint8_t>(std::min<double>(kActivityMax, std::round(level)));
}

uint8_t DemoArchive::activityAt(uint32_t source, Seconds t) const {
    const Recording* rec = covering(source, t);
    if (!rec) return kActivityNoRecording;
    return activityOf(motion(*rec), static_cast<double>(t - rec->start));
}

std::vector<uint8_t> DemoArchive::activity(uint32_t source, Seconds from, uint32_t count) const {
    std::vector<uint8_t> out(count, kActivityNoRecording);
    for (const Recording* rec : overlapping(source, from, from + count)) {
        const std::vector<MovingObject> objects = motion(*rec);
        const Seconds lo = std::max(rec->start, from);
        const Seconds hi = std::min<Seconds>(rec->stop, from + count);
        for (Seconds t = lo; t < hi; ++t)
            out[static_cast<size_t>(t - from)] = activityOf(objects, static_cast<double>(t - rec->start));
    }
    return out;
}

std::optional<uint32_t> DemoArchive::frameInSecond(const Recording& rec, Seconds t) const {
    if (t < rec.start || t >= rec.stop) return std::nullopt;
    const DemoSource& src = sources_[rec.source];
    const uint64_t s = static_cast<uint64_t>(t - rec.start);
    // Frame i is shown at i * scale / rate seconds: the first one at or after
    // s belongs to second s when it starts before s + 1.
    const uint64_t frame = (s * src.rate + src.scale - 1) / src.scale;
    if (frame >= rec.frameCount || frame * src.scale >= (s + 1) * src.rate) return std::nullopt;
    return static_cast<uint32_t>(frame);
}

std::vector<uint32_t> DemoArchive::frameTable(uint32_t source, Seconds from, uint32_t count) const {
    std::vector<uint32_t> out(count, kNoFrameInSecond);
    for (const Recording* rec : overlapping(source, from, from + count)) {
        const Seconds lo = std::max(rec->start, from);
        const Seconds hi = std::min<Seconds>(rec->stop, from + count);
        for (Seconds t = lo; t < hi; ++t) {
            if (auto f = frameInSecond(*rec, t)) out[static_cast<size_t>(t - from)] = *f;
        }
    }
    return out;
}

uint64_t DemoArchive::frameTimeMs(const Recording& rec, uint32_t frame) const {
    const DemoSource& src = sources_[rec.source];
    return static_cast<uint64_t>(frame) * src.scale * 1000 / src.rate;
}

uint32_t DemoArchive::holdTimeMs(const Recording& rec, uint32_t frame) const {
    return static_cast<uint32_t>(frameTimeMs(rec, frame + 1) - frameTimeMs(rec, frame));
}

}  // namespace corvanta::recorder
