// The folder archive's catalogue and frame pool, with made-up index records:
// what the archive answers from what indexing stored, and how frames of
// open files are decoded.

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "archive/ArchiveRecords.h"
#include "recorder/folder/FolderCatalogue.h"
#include "recorder/folder/FramePool.h"

namespace corvanta::recorder::folder::test {
namespace {

const Seconds kDay = startOfDay(CivilDate{2026, 3, 31});

// A file of `seconds` at `fps` whose activity is `level` in every second.
std::shared_ptr<const MediaInfo> media(int seconds, int fps = 10, uint8_t level = 0) {
    auto m = std::make_shared<MediaInfo>();
    m->codec = "h264";
    m->width = 320;
    m->height = 240;
    m->rate = static_cast<uint32_t>(fps);
    for (int i = 0; i < seconds * fps; ++i) m->frameMs.push_back(int64_t{i} * 1000 / fps);
    m->keyFrames = {0};
    m->activity.assign(static_cast<size_t>(seconds), level);
    return m;
}

CatalogueEntry entry(std::string camera, std::string path, Seconds start, std::shared_ptr<const MediaInfo> m) {
    return CatalogueEntry{camera, camera, path, "/archive/" + path, start, 1, 1,
                          std::make_shared<const MediaSummary>(MediaSummary::of(*m))};
}

// What stays in memory of a file: the first frame of each second, none where
// the recording paused, and what serving lists it by.
TEST(MediaSummary, KeepsTheFirstFrameOfEachSecondAndNoneWhereNoFrameIs) {
    MediaInfo m;
    m.width = 640;
    m.height = 480;
    m.rate = 5;
    m.frameMs = {0, 200, 900, 1100, 3050, 3400};  // nothing in the third second
    m.activity = {3, 0, 0, 9};
    m.creationTimeUtc = 1772600767;
    const MediaSummary s = MediaSummary::of(m);
    EXPECT_EQ((std::vector<uint32_t>{0, 3, MediaSummary::kNoFrame, 4}), s.firstFrameOfSecond);
    EXPECT_EQ(std::tuple(6u, int64_t{3400}, 640u, 480u, 5u), std::tuple(s.frameCount, s.lastFrameMs, s.width, s.height, s.rate));
    EXPECT_EQ(m.activity, s.activity);
    EXPECT_EQ(m.creationTimeUtc, s.creationTimeUtc);
    EXPECT_TRUE(MediaSummary::of(MediaInfo{}).firstFrameOfSecond.empty());
}

TEST(FolderCatalogue, AnswersSourcesDaysSessionsActivityAndFrameTablesFromTheIndex) {
    FolderCatalogue c;
    // A file across midnight into April, one later that day, one of another camera.
    c.rebuild({entry("yard", "yard/a.mp4", kDay + kSecondsPerDay - 5, media(10, 10, 50)),
               entry("yard", "yard/b.mp4", kDay + kSecondsPerDay + 100, media(3, 10, 0)),
               entry("gate", "gate/c.avi", kDay + 60, media(2, 5, 7))});
    ASSERT_EQ(2u, c.sources().size());
    const auto yard = c.findSource("yard");
    ASSERT_TRUE(yard);
    EXPECT_EQ((std::vector<uint32_t>{202603, 202604}), c.months(yard->index));
    EXPECT_EQ(std::vector<uint8_t>{31}, c.days(yard->index, 2026, 3));
    EXPECT_EQ(std::vector<uint8_t>{1}, c.days(yard->index, 2026, 4));

    const Seconds april = kDay + kSecondsPerDay;
    auto files = c.overlapping(yard->index, april, april + kSecondsPerDay);
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ("yard\\a.mp4", files[0]->fileName);
    EXPECT_EQ(april - 5, files[0]->start);
    EXPECT_EQ(april + 5, files[0]->stop);  // last frame at 9.9 s
    EXPECT_EQ(100u, files[0]->frameCount);

    const auto levels = c.activity(yard->index, april - 6, 12);
    EXPECT_EQ(kActivityNoRecording, levels[0]);
    EXPECT_EQ(50, levels[1]);
    EXPECT_EQ(50, levels[10]);
    EXPECT_EQ(kActivityNoRecording, levels[11]);

    const auto table = c.frameTable(yard->index, april - 5, 11);
    EXPECT_EQ(0u, table[0]);
    EXPECT_EQ(50u, table[5]);
    EXPECT_EQ(90u, table[9]);
    EXPECT_EQ(kNoFrameInSecond, table[10]);
}

TEST(FolderCatalogue, ServesOnlyTheNamesItHandedOutAndKeepsFileNumbersAcrossRebuilds) {
    FolderCatalogue c;
    c.rebuild({entry("yard", "yard/a.mp4", kDay, media(2))});
    const FileRef a = c.findFile("yard\\a.mp4");
    ASSERT_TRUE(a);
    EXPECT_EQ(a, c.findFile("YARD\\A.MP4"));
    EXPECT_EQ(a, c.findFile("yardMEMORY"));
    for (const char* hostile : {"/archive/yard/a.mp4", "yard/a.mp4", "..\\..\\etc\\passwd", "/etc/passwd", "", "MEMORY"})
        EXPECT_FALSE(c.findFile(hostile)) << hostile;

    c.rebuild({entry("yard", "yard/0.mp4", kDay - 100, media(2)), entry("yard", "yard/a.mp4", kDay, media(2))});
    EXPECT_EQ(a->fileNumber, c.findFile("yard\\a.mp4")->fileNumber);
    EXPECT_NE(a->fileNumber, c.findFile("yard\\0.mp4")->fileNumber);
    EXPECT_EQ(2u, c.fileCount());
    EXPECT_TRUE(c.hasFileNumber(0, a->fileNumber));
    // A camera none of whose files is indexed yet is listed, without days.
    c.rebuild({entry("yard", "yard/a.mp4", kDay, media(2))}, {ArchiveSource{"gate", "Gate", 0}});
    const auto gate = c.findSource("gate");
    ASSERT_TRUE(gate);
    EXPECT_EQ("Gate", gate->displayName);
    EXPECT_TRUE(c.months(gate->index).empty());
    EXPECT_EQ(0u, c.findSource("yard")->index) << "sources keep their place";
    // A file whose served name would not fit the wire's field is left out.
    c.rebuild({entry("yard", "yard/" + std::string(600, 'x') + ".mp4", kDay, media(2))});
    EXPECT_EQ(0u, c.fileCount());
}

// A decoder that names each picture after its frame and counts what it did.
struct CountingDecoder final : FrameDecoder {
    std::vector<uint32_t>* calls;
    explicit CountingDecoder(std::vector<uint32_t>* c) : calls(c) {}
    std::optional<std::string> jpeg(uint32_t index) override {
        calls->push_back(index);
        if (index == 13) return std::nullopt;
        return "frame " + std::to_string(index);
    }
    uint32_t width() const override { return 160; }
    uint32_t height() const override { return 120; }
    uint64_t timeMs(uint32_t index) const override { return uint64_t{index} * 100; }
    uint32_t holdMs(uint32_t) const override { return 100; }
};

// Files still being indexed: their seconds are recorded, their motion not
// yet known; they list their days but are not files to open yet.
TEST(FolderCatalogue, PendingSpansReadAsStillSecondsAndListTheirDays) {
    FolderCatalogue c;
    const Seconds noon = kDay + 12 * 3600;
    c.rebuild({entry("yard", "yard/a.mp4", noon, media(4, 10, 60))}, {{"yard", "Yard", 0}, {"gate", "Gate", 1}},
              {{"yard", noon + 2, noon + 8},                                // overlaps the indexed file
               {"gate", kDay + kSecondsPerDay - 2, kDay + kSecondsPerDay + 3},  // across midnight
               {"yard", noon + 20, noon + 20}});                            // empty: nothing
    const auto yard = c.findSource("yard");
    const auto gate = c.findSource("gate");
    ASSERT_TRUE(yard && gate);

    const auto levels = c.activity(yard->index, noon - 1, 24);
    EXPECT_EQ(kActivityNoRecording, levels[0]);
    for (int s = 1; s <= 4; ++s) EXPECT_EQ(60, levels[size_t(s)]) << "indexed second " << s - 1;
    for (int s = 5; s <= 8; ++s) EXPECT_EQ(0, levels[size_t(s)]) << "pending second " << s - 1;
    for (int s = 9; s < 24; ++s) EXPECT_EQ(kActivityNoRecording, levels[size_t(s)]) << "second " << s - 1;

    EXPECT_EQ((std::vector<uint32_t>{202603, 202604}), c.months(gate->index));
    EXPECT_EQ(std::vector<uint8_t>{31}, c.days(gate->index, 2026, 3));
    EXPECT_EQ(std::vector<uint8_t>{1}, c.days(gate->index, 2026, 4));
    EXPECT_TRUE(c.overlapping(gate->index, kDay, kDay + 2 * kSecondsPerDay).empty());
    EXPECT_EQ(1u, c.fileCount());

    // Indexed, the span goes: the seconds keep their measured levels only.
    c.rebuild({entry("yard", "yard/a.mp4", noon, media(4, 10, 60))}, {{"yard", "Yard", 0}, {"gate", "Gate", 1}});
    EXPECT_EQ(kActivityNoRecording, c.activity(yard->index, noon + 5, 1)[0]);
    EXPECT_TRUE(c.months(gate->index).empty());
}

TEST(FramePool, ServesEachFrameOnceDecodingForwardThroughSmallGapsAndBoundsOpenFiles) {
    std::vector<uint32_t> calls;
    int opened = 0;
    FramePool pool(
        [&](const FolderFile& f, std::string* error) -> std::unique_ptr<FrameDecoder> {
            ++opened;
            if (f.relPath == "broken") {
                *error = "not a video";
                return nullptr;
            }
            return std::make_unique<CountingDecoder>(&calls);
        },
        FramePoolOptions{.maxReaders = 2, .keptFrames = 8, .catchUp = 4});
    auto file = [](std::string path) {
        auto f = std::make_shared<FolderFile>();
        f->relPath = std::move(path);
        f->frameCount = 100;
        return f;
    };
    auto a = file("a");
    EXPECT_EQ("frame 0", *pool.frame(a, 0));
    // Requests read ahead on two connections arrive out of order.
    EXPECT_EQ("frame 2", *pool.frame(a, 2));
    EXPECT_EQ("frame 1", *pool.frame(a, 1));
    EXPECT_EQ("frame 3", *pool.frame(a, 3));
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3}), calls);
    EXPECT_EQ("frame 50", *pool.frame(a, 50));  // far ahead: one seek, not fifty decodes
    EXPECT_EQ(5u, calls.size());
    EXPECT_FALSE(pool.frame(a, 13));
    EXPECT_EQ("frame 14", *pool.frame(a, 14));  // a failed frame leaves the file usable
    EXPECT_FALSE(pool.frame(a, 100));          // past the end: never asked of the decoder
    EXPECT_EQ(7u, calls.size());

    EXPECT_EQ(std::pair(160u, 120u), pool.servedSize(a).value());
    EXPECT_EQ(std::pair(uint64_t{1400}, 100u), pool.times(a, 14).value());
    std::string why;
    auto broken = file("broken");
    EXPECT_FALSE(pool.frame(broken, 0, &why));
    EXPECT_EQ("not a video", why);
    EXPECT_FALSE(pool.times(broken, 0));
    EXPECT_FALSE(pool.servedSize(broken));  // not tried again
    pool.frame(file("c"), 0);
    pool.frame(file("d"), 0);
    EXPECT_EQ(2u, pool.openReaders());
    EXPECT_EQ(4, opened);
}

}  // namespace
}  // namespace corvanta::recorder::folder::test
