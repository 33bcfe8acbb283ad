// The recorder serving a folder of real recordings, made with ffmpeg at test
// time, checked over the wire against what ffmpeg's own tools say.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ctime>
#include <filesystem>
#include <thread>

#include "recorder/CommandLine.h"
#include "recorder/folder/FolderArchive.h"
#include "recorder/folder/MediaProbe.h"
#include "recorder/RecorderTestSupport.h"
#include "support/Files.h"
#include "support/VideoFixtures.h"

namespace corvanta::recorder::test {
namespace {

namespace fs = std::filesystem;
using corvanta::test::FfmpegGreyFrame;
using corvanta::test::MakeVideo;
using corvanta::test::MeanDifference;
using corvanta::test::MovingSource;
using corvanta::test::ProbedFrameCount;

// One folder for the whole suite: making video is the slow part.
class FolderArchiveTest : public RecorderFixture {
protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/corvanta-folder-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        const std::string d = root_ + "/archive";
        // dated: MJPEG AVI, stored JPEGs served as they are
        MakeVideo(d + "/Yard/2026/03/04/101500.avi", MovingSource(320, 240, 10, 4) + " " + corvanta::test::kMjpegAvi);
        // segments: H.264 with B-frames and a key frame every 2 s
        MakeVideo(d + "/2026-03-04/11/Gate/00.00.mp4", MovingSource(320, 240, 25, 4) + " " + corvanta::test::kH264);
        // flat: the time from the name, or from the container's creation time
        MakeVideo(d + "/Street/street_20260304-120000.mkv", MovingSource(320, 240, 25, 2) + " " + corvanta::test::kH264);
        MakeVideo(d + "/Street/clip.mp4", MovingSource(320, 240, 25, 2) + " " + corvanta::test::kH264 +
                                              " -metadata creation_time=2026-03-04T12:30:00Z");
        // MPEG-TS: its clock does not start at zero
        MakeVideo(d + "/Lane/2026/03/04/150000.ts", MovingSource(320, 240, 25, 3) + " " + corvanta::test::kH264 + " -f mpegts");
        // 4K MJPEG: scaled to fit the viewer's frame
        MakeVideo(d + "/Big/2026/03/04/130000.avi", MovingSource(3840, 2160, 2, 1) + " -c:v mjpeg -q:v 20");
        // three still seconds, then three moving ones
        MakeVideo(d + "/Mixed/2026/03/04/140000.avi",
                  "-f lavfi -i color=c=gray:size=320x240:rate=10:duration=3 " + MovingSource(320, 240, 10, 3) +
                      " -filter_complex '[0:v][1:v]concat=n=2:v=1[v]' -map '[v]' " + corvanta::test::kMjpegAvi);
        // broken files beside the good ones
        fs::create_directories(d + "/Yard/2026/03/04");
        corvanta::test::WriteWholeFile(d + "/Yard/2026/03/04/102000.avi", "");
        corvanta::test::WriteWholeFile(d + "/Yard/2026/03/04/103000.avi", "not a video at all\n");
        const std::string good = corvanta::test::ReadWholeFile(d + "/2026-03-04/11/Gate/00.00.mp4");
        corvanta::test::WriteWholeFile(d + "/2026-03-04/11/Gate/30.00.mp4", good.substr(0, good.size() / 3));
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    void SetUp() override { startFolder(); }
    // The server's threads log into this fixture: they go before it does.
    void TearDown() override { server_.reset(); }

    void startFolder() {
        RecorderConfig c = testConfig();
        c.folder.dir = root_ + "/archive";
        c.folder.indexFile = root_ + "/index.sqlite3";
        c.folder.rescanSeconds = 3600;  // the tests look again themselves
        c.log = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_ += line + "\n";
        };
        server_.reset();
        startServer(c);
        ASSERT_NE(server_->folderArchive(), nullptr);
        ASSERT_TRUE(server_->folderArchive()->waitIndexed(60000));
    }

    std::string path(const std::string& rel) const { return root_ + "/archive/" + rel; }

    std::vector<SourceEntry> sources() const {
        return ask(kArchiveQueryFilterName, sid_, kArchiveListSources).entries<SourceEntry>();
    }
    std::string idOf(const std::string& camera) const {
        for (const SourceEntry& s : sources())
            if (camera == s.displayName) return s.sourceId;
        ADD_FAILURE() << "no source " << camera;
        return {};
    }
    std::vector<SessionEntry> sessions(const std::string& camera) const {
        const uint32_t yearMonth = (2026u << 16) | 3u;
        return ask(kArchiveQueryFilterName, sid_, kArchiveListSessions, yearMonth, 4, textData(idOf(camera)))
            .entries<SessionEntry>();
    }
    SessionEntry only(const std::string& camera) const {
        auto s = sessions(camera);
        EXPECT_EQ(s.size(), 1u) << camera;
        return s.empty() ? SessionEntry{} : s[0];
    }
    std::string frame(const std::string& fileName, uint32_t index) const {
        const HttpResult r = send(frameSourceName(fileName), sid_, kFrameSourceGetFrame, index);
        auto d = decodeAnswer(r.body);
        if (!d || d->header.encoding != kIcpEncodingPicture || d->header.param1 != index) return {};
        return d->data;
    }
    // A served frame as grey bytes of width x height, through libjpeg-turbo.
    static std::vector<uint8_t> grey(const std::string& jpeg, int width, int height) {
        std::unique_ptr<void, decltype(&tjDestroy)> tj(tjInitDecompress(), tjDestroy);
        int w = 0, h = 0, sub = 0, cs = 0;
        auto* src = reinterpret_cast<const unsigned char*>(jpeg.data());
        if (tjDecompressHeader3(tj.get(), src, jpeg.size(), &w, &h, &sub, &cs) != 0 || w != width || h != height)
            return {};
        std::vector<uint8_t> out(size_t(w) * h);
        if (tjDecompress2(tj.get(), src, jpeg.size(), out.data(), w, 0, h, TJPF_GRAY, 0) != 0) return {};
        return out;
    }

    static inline std::string root_;
    std::mutex logMutex_;
    std::string log_;
};

bool at(const SystemTime& t, int h, int m, int s) { return t.year == 2026 && t.month == 3 && t.day == 4 && t.hour == h && t.minute == m && t.second == s; }

TEST_F(FolderArchiveTest, EveryLayoutIsServedWithItsCamerasTimesAndFfprobesFrameCounts) {
    std::vector<std::string> names;
    for (const SourceEntry& s : sources()) names.push_back(s.displayName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Big", "Gate", "Lane", "Mixed", "Street", "Yard"}));

    const auto months = ask(kArchiveQueryFilterName, sid_, kArchiveListMonths, 0, 0, textData(idOf("Gate")))
                            .entries<MonthEntry>();
    ASSERT_EQ(months.size(), 1u);
    EXPECT_EQ(std::tuple(int(months[0].year), int(months[0].month)), std::tuple(2026, 3));

    const SessionEntry yard = only("Yard");  // the broken files beside it are skipped
    EXPECT_TRUE(at(yard.start, 10, 15, 0));
    EXPECT_TRUE(at(yard.stop, 10, 15, 4));
    const SessionEntry gate = only("Gate");  // the truncated copy is skipped or served in part
    EXPECT_TRUE(at(gate.start, 11, 0, 0));
    const auto street = sessions("Street");
    ASSERT_EQ(street.size(), 2u);
    EXPECT_TRUE(at(street[0].start, 12, 0, 0)) << street[0].fileName;
    // The container's creation time is UTC; the archive shows local time.
    const std::time_t created = 1772627400;  // 2026-03-04T12:30:00Z
    std::tm local{};
    localtime_r(&created, &local);
    EXPECT_TRUE(at(street[1].start, local.tm_hour, local.tm_min, local.tm_sec)) << street[1].fileName;

    for (const auto& [file, rel] : {std::pair(yard, "Yard/2026/03/04/101500.avi"),
                                    std::pair(gate, "2026-03-04/11/Gate/00.00.mp4"),
                                    std::pair(street[0], "Street/street_20260304-120000.mkv")}) {
        const FileDescription fd = open(file.fileName);
        EXPECT_EQ(int(fd.frameCount), ProbedFrameCount(path(rel))) << rel;
        EXPECT_EQ(std::tuple(fd.info.width, fd.info.height), std::tuple(320u, 240u)) << rel;
    }
    const FileDescription fd = open(gate.fileName);
    EXPECT_EQ(double(fd.info.rate) / fd.info.scale, 25.0);
}

TEST_F(FolderArchiveTest, FrameNIsTheFrameFfmpegDecodesNInAnyOrder) {
    startFolder();  // again: frames are found from what the index database kept
    const auto expectFfmpegsFrames = [&](const std::string& camera, const std::string& rel, uint32_t frames,
                                         std::initializer_list<uint32_t> order) {
        const SessionEntry file = only(camera);
        const uint32_t count = open(file.fileName).frameCount;
        ASSERT_EQ(count, frames) << rel;
        for (uint32_t n : order) {
            const auto served = grey(frame(file.fileName, n), 320, 240);
            ASSERT_FALSE(served.empty()) << rel << " frame " << n;
            const double here = MeanDifference(served, FfmpegGreyFrame(path(rel), int(n), 320, 240));
            const double before = MeanDifference(served, FfmpegGreyFrame(path(rel), int(n) - 1, 320, 240));
            const double after = MeanDifference(served, FfmpegGreyFrame(path(rel), int(n) + 1, 320, 240));
            EXPECT_LT(here, 6.0) << rel << " frame " << n;
            EXPECT_LT(here, before) << rel << " frame " << n;
            EXPECT_LT(here, after) << rel << " frame " << n;
        }
        EXPECT_TRUE(frame(file.fileName, count).empty()) << "past the end";
    };
    // Backwards across a key frame, a jump, then on in order.
    expectFfmpegsFrames("Gate", "2026-03-04/11/Gate/00.00.mp4", 100, {73, 52, 49, 3, 90, 91, 92});
    expectFfmpegsFrames("Lane", "Lane/2026/03/04/150000.ts", 75, {60, 12, 13, 40});

    // The second index points at the frames that start each second.
    const Decoded table = ask(kArchiveQueryFilterName, sid_, kArchiveSecondIndex, 0, 0,
                              timeQuery(wireTime(2026, 3, 4, 11, 0, 0), wireTime(2026, 3, 4, 11, 0, 5), idOf("Gate")));
    ASSERT_EQ(table.data.size(), sizeof(DayWindowHeader) + 6 * 4);
    std::vector<uint32_t> firsts(6);
    std::memcpy(firsts.data(), table.data.data() + sizeof(DayWindowHeader), 6 * 4);
    EXPECT_EQ(firsts, (std::vector<uint32_t>{0, 25, 50, 75, kNoFrameInSecond, kNoFrameInSecond}));
}

TEST_F(FolderArchiveTest, StoredJpegsAreServedAsStoredAndLargePicturesScaledToFit) {
    const SessionEntry yard = only("Yard");
    open(yard.fileName);
    const std::string dir = root_ + "/yard-frames";
    fs::create_directories(dir);
    ASSERT_EQ(std::system(("ffmpeg -v error -nostdin -i " + corvanta::test::Quoted(path("Yard/2026/03/04/101500.avi")) +
                           " -c:v copy -f image2 " + dir + "/%03d.jpg").c_str()),
              0);
    EXPECT_EQ(frame(yard.fileName, 7), corvanta::test::ReadWholeFile(dir + "/008.jpg"));
    EXPECT_EQ(frame(yard.fileName, 0), corvanta::test::ReadWholeFile(dir + "/001.jpg"));

    const SessionEntry big = only("Big");
    const FileDescription fd = open(big.fileName);
    EXPECT_LE(fd.info.width, 1600u);
    EXPECT_LE(fd.info.height, 1200u);
    EXPECT_NEAR(double(fd.info.width) / fd.info.height, 16.0 / 9.0, 0.02);
    const auto size = decodeJpeg(frame(big.fileName, 1));
    ASSERT_TRUE(size);
    EXPECT_EQ(std::tuple(uint32_t(size->width), uint32_t(size->height)), std::tuple(fd.info.width, fd.info.height));
}

TEST_F(FolderArchiveTest, ActivityIsHigherInTheMovingSecondsThanInTheStillOnes) {
    const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveDayActivity, 0, 0,
                          timeQuery(wireTime(2026, 3, 4, 13, 59, 58), wireTime(2026, 3, 4, 14, 0, 7), idOf("Mixed")));
    ASSERT_EQ(d.data.size(), sizeof(DayWindowHeader) + 10);
    const auto* level = reinterpret_cast<const uint8_t*>(d.data.data() + sizeof(DayWindowHeader));
    EXPECT_EQ(level[0], kActivityNoRecording);
    EXPECT_EQ(level[1], kActivityNoRecording);
    for (int s = 2; s < 4; ++s) EXPECT_EQ(level[s], 0) << "still second " << s - 2;
    for (int s = 5; s < 8; ++s) EXPECT_GT(level[s], 0) << "moving second " << s - 2;
    EXPECT_EQ(level[9], kActivityNoRecording);
}

TEST_F(FolderArchiveTest, AFileAddedWhileServingShowsUpAndNamesFromTheViewerAreNeverOpenedAsPaths) {
    EXPECT_EQ(sessions("Yard").size(), 1u);
    MakeVideo(path("Yard/2026/03/04/104500.avi"), MovingSource(320, 240, 10, 2) + " " + corvanta::test::kMjpegAvi);
    server_->folderArchive()->rescan();
    ASSERT_TRUE(server_->folderArchive()->waitIndexed(30000));
    const auto yard = sessions("Yard");
    ASSERT_EQ(yard.size(), 2u);
    EXPECT_TRUE(at(yard[1].start, 10, 45, 0));
    EXPECT_EQ(open(yard[1].fileName).frameCount, 20u);

    for (const std::string& name : {path("Yard/2026/03/04/101500.avi"), std::string("..\\..\\etc\\passwd"),
                                    std::string("/etc/passwd"), std::string("Yard/2026/03/04/101500.avi"),
                                    std::string("Yard\\2026\\03\\04\\102000.avi")})
        EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData(name))) << name;
    std::lock_guard lock(logMutex_);
    EXPECT_NE(log_.find("103000.avi"), std::string::npos) << "a broken file is noted:\n" << log_;
}

// An indexer held at its first file: the headers alone tell which seconds
// are recorded, so the day is listed and its seconds read 0 until the
// motion in them is known.
TEST_F(FolderArchiveTest, WhileADayIsIndexedItsRecordedSecondsReadAsStill) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    folder::FolderArchiveOptions o;
    o.dir = root_ + "/archive";
    o.indexFile = root_ + "/held-index.sqlite3";
    o.rescanSeconds = 3600;
    o.indexThreads = 1;
    o.log = [](const std::string&) {};
    o.probe = [&](const std::string& file, std::string* error) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return release; });
        return folder::probeMedia(file, error);
    };
    folder::FolderArchive archive(o);
    struct Release {
        std::mutex& m;
        std::condition_variable& cv;
        bool& release;
        void now() {
            std::lock_guard lock(m);
            release = true;
            cv.notify_all();
        }
        ~Release() { now(); }
    } releaser{m, cv, release};
    std::string error;
    ASSERT_TRUE(archive.start(&error)) << error;

    auto mixed = [&]() -> uint32_t {
        for (const ArchiveSource& s : archive.sources())
            if (s.displayName == "Mixed") return s.index;
        return UINT32_MAX;
    };
    const Seconds two = startOfDay(CivilDate{2026, 3, 4}) + 14 * 3600;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (archive.activity(mixed(), two, 1)[0] != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(archive.servedFiles(), 0u);
    EXPECT_EQ(archive.days(mixed(), 2026, 3), std::vector<uint8_t>{4});
    const std::vector<uint8_t> held = archive.activity(mixed(), two - 1, 8);
    EXPECT_EQ(held, (std::vector<uint8_t>{kActivityNoRecording, 0, 0, 0, 0, 0, 0, kActivityNoRecording}));

    releaser.now();
    ASSERT_TRUE(archive.waitIndexed(60000));
    const std::vector<uint8_t> indexed = archive.activity(mixed(), two, 6);
    EXPECT_EQ(indexed[0], 0);
    EXPECT_GT(indexed[4], 0);
    EXPECT_GT(archive.servedFiles(), 0u);
}

// The folder is looked at again while it is being indexed: with nothing
// new in it, the run goes on instead of stopping and starting over.
TEST_F(FolderArchiveTest, ALookWithNothingNewLetsIndexingGoOn) {
    std::mutex m;
    std::string said;
    folder::FolderArchiveOptions o;
    o.dir = root_ + "/archive";
    o.indexFile = root_ + "/slow-index.sqlite3";
    o.rescanSeconds = 3600;
    o.indexThreads = 1;
    o.log = [&](const std::string& line) {
        std::lock_guard lock(m);
        said += line + "\n";
    };
    o.probe = [](const std::string& file, std::string* error) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return folder::probeMedia(file, error);
    };
    folder::FolderArchive archive(o);
    std::string error;
    ASSERT_TRUE(archive.start(&error)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    archive.rescan();
    ASSERT_TRUE(archive.waitIndexed(60000));
    archive.stop();
    std::lock_guard lock(m);
    EXPECT_EQ(said.find("indexing stopped"), std::string::npos) << said;
    EXPECT_NE(said.find("indexing done"), std::string::npos) << said;
}

TEST_F(FolderArchiveTest, ASecondStartServesFromTheIndexAndAFolderIsNotServedBeyondLoopbackWithoutUsers) {
    const std::string before = only("Gate").fileName;
    startFolder();
    EXPECT_EQ(only("Gate").fileName, before);

    CommandLine cl;
    std::string error;
    EXPECT_FALSE(parseCommandLine({"--archive", "/srv/cameras", "--bind", "0.0.0.0"}, cl, error));
    EXPECT_NE(error.find("--users"), std::string::npos) << error;
    for (const char* bind : {"127.0.0.1", "::1"}) {
        CommandLine local;
        EXPECT_TRUE(parseCommandLine({"--archive", "/srv/cameras", "--bind", bind}, local, error)) << error;
    }
    CommandLine withUsers;
    EXPECT_TRUE(parseCommandLine({"--archive", "/srv/cameras", "--bind", "0.0.0.0", "--users", "u.txt"}, withUsers, error));
}

}  // namespace
}  // namespace corvanta::recorder::test
