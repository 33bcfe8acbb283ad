// Exports against the recorder stand-in: what the files hold, checked with
// ffprobe and ffmpeg, and what is left behind when an export goes wrong.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "ExportTestSupport.h"
#include "playback/PlaybackRecords.h"
#include "playback/export/CVideoExporter.h"
#include "support/Files.h"

namespace corvanta {
namespace {

class VideoExporterTest : public test::RecorderFixture {
protected:
    // The loading bay camera: a frame every 1.5 s, files of a few minutes,
    // so whole files are short and some seconds hold no frame.
    const std::vector<recorder::Recording>& Bay() const {
        return server->archive().recordings(Source("CAM04").index);
    }
    // Two files recorded one after the other on one day.
    std::pair<recorder::Recording, recorder::Recording> TwoFilesOfADay() const {
        const auto& recs = Bay();
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recorder::dateOf(recs[i].start).day == recorder::dateOf(recs[i + 1].start).day &&
                recs[i + 1].start > recs[i].stop)
                return {recs[i], recs[i + 1]};
        throw std::runtime_error("no two files on one day");
    }
    // The JPEG bytes the recorder serves for each frame of a file.
    std::vector<std::string> ServedFrames(const recorder::Recording& rec) {
        CRawRecorderChannel channel(server->baseUrl(), session);
        std::vector<uint8_t> name(rec.fileName.begin(), rec.fileName.end());
        name.push_back(0);
        EXPECT_TRUE(channel.Command(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, name));
        std::vector<std::string> frames;
        for (uint32_t i = 0; i < rec.frameCount; ++i) {
            EXPECT_TRUE(channel.GetFrame(rec.fileName, i));
            frames.emplace_back(reinterpret_cast<const char*>(channel.Data().data()), channel.Data().size());
        }
        channel.Command(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, name);
        return frames;
    }
    // The MJPEG file at `out` holds every frame of `rec`, byte for byte as served, in order.
    void ExpectServedFramesIn(const std::string& out, const recorder::Recording& rec) {
        const std::string frames = folder.File("frames");
        std::filesystem::create_directory(frames);
        test::CommandOutput("ffmpeg -v error -i '" + out + "' -c copy -f image2 '" + frames + "/%04d.jpg'");
        const std::vector<std::string> served = ServedFrames(rec);
        for (uint32_t i = 0; i < rec.frameCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%04u.jpg", i + 1);
            ASSERT_EQ(served[i], test::ReadWholeFile(frames + name)) << "frame " << i;
        }
        std::filesystem::remove_all(frames);
    }
    ExportResult Run(const ExportJob& job, const ExportProgressFn& progress = {}) {
        std::atomic<bool> cancel{false};
        return CVideoExporter().Run(job, progress, cancel);
    }

    test::TempFolder folder;
};

double Seconds(const std::string& text) {
    return text.empty() ? -1 : std::stod(text);
}

TEST_F(VideoExporterTest, WholeFileAsMjpegHoldsTheServedJpegsWithTheirTiming) {
    const recorder::Recording& rec = Bay().front();
    const std::string out = folder.File("bay.avi");
    std::vector<ExportProgress> seen;
    const ExportResult result =
        Run(Job({Piece(rec)}, out, ExportFormat::MjpegAvi), [&](const ExportProgress& p) { seen.push_back(p); });
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(rec.frameCount, result.framesWritten);
    EXPECT_EQ(0u, result.framesSkipped);
    EXPECT_EQ(out, result.writtenPath);
    EXPECT_FALSE(std::filesystem::exists(CVideoExporter::PartPath(out)));
    ASSERT_EQ(rec.frameCount, seen.size());
    EXPECT_EQ(rec.frameCount, seen.back().framesDone);
    EXPECT_EQ(rec.frameCount, seen.back().framesTotal);
    EXPECT_EQ(0, seen.back().msLeft);

    auto probe = test::Probe(out);
    EXPECT_EQ("mjpeg", probe["codec_name"]);
    EXPECT_EQ("640", probe["width"]);
    EXPECT_EQ(std::to_string(rec.frameCount), probe["nb_read_packets"]);
    const auto& source = Source("CAM04");
    const double expected = double(rec.frameCount) * source.scale / source.rate;
    EXPECT_NEAR(expected, Seconds(probe["duration"]), 0.01);

    ExpectServedFramesIn(out, rec);
}

// Over a slow link the export asks frames ahead, several at once, and
// still writes exactly the served frames in their order.
TEST_F(VideoExporterTest, OverASlowLinkFramesGoAheadSideBySideAndComeOutInOrder) {
    const recorder::Recording& rec = Bay().front();
    const std::string out = folder.File("slow.avi");
    server->setFaults({.delayMs = 40});
    const ExportResult result = Run(Job({Piece(rec)}, out, ExportFormat::MjpegAvi));
    const uint32_t atOnce = server->stats().waits.mostWaitingAtOnce;
    server->setFaults({});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(rec.frameCount, result.framesWritten);
    EXPECT_GE(atOnce, 3u) << "frame requests in flight side by side";

    ExpectServedFramesIn(out, rec);

    // A recorder that takes two connections at a time: slower, never a failure.
    ASSERT_NO_FATAL_FAILURE(Serve(2));
    server->setFaults({.delayMs = 40});
    ExportPiece first40 = Piece(Bay().front());  // of the new stand-in
    first40.lastFrame = 39;
    const ExportResult two = Run(Job({first40}, folder.File("two.avi"), ExportFormat::MjpegAvi));
    ASSERT_TRUE(two.ok) << two.error;
    EXPECT_EQ(40u, two.framesWritten);
}

TEST_F(VideoExporterTest, TwoFilesOfADayKeepTheGapBetweenThem) {
    const auto [first, second] = TwoFilesOfADay();
    const std::string out = folder.File("day.avi");
    const ExportResult result = Run(Job({Piece(first), Piece(second)}, out, ExportFormat::MjpegAvi));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(first.frameCount + second.frameCount, result.framesWritten);

    auto probe = test::Probe(out);
    EXPECT_EQ(std::to_string(first.frameCount + second.frameCount), probe["nb_read_packets"]);
    const auto& source = Source("CAM04");
    const double period = double(source.scale) / source.rate;
    // From the first file's first frame to the end of the second file's last frame.
    const double span = double(second.start - first.start) + second.frameCount * period;
    EXPECT_NEAR(span, Seconds(probe["duration"]), period);
    EXPECT_GT(Seconds(probe["duration"]), (first.frameCount + second.frameCount) * period + 60);
}

TEST_F(VideoExporterTest, H264ExportHoldsEveryFrameAtThePictureSize) {
    const auto [first, second] = TwoFilesOfADay();
    const std::string out = folder.File("day.mp4");
    const ExportResult result = Run(Job({Piece(first), Piece(second)}, out, ExportFormat::H264Mp4));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(first.frameCount + second.frameCount, result.framesWritten);

    auto probe = test::Probe(out);
    EXPECT_EQ("h264", probe["codec_name"]);
    EXPECT_EQ("yuv420p", probe["pix_fmt"]);
    EXPECT_EQ("640", probe["width"]);
    EXPECT_EQ("480", probe["height"]);
    EXPECT_EQ(std::to_string(first.frameCount + second.frameCount), probe["nb_read_packets"]);
    const auto& source = Source("CAM04");
    const double period = double(source.scale) / source.rate;
    EXPECT_NEAR(double(second.start - first.start) + second.frameCount * period, Seconds(probe["duration"]), period);
}

TEST_F(VideoExporterTest, CutJpegsAreSkippedInMjpegAndRepeatedInH264) {
    const recorder::Recording& rec = Bay().front();
    recorder::FaultConfig faults;
    faults.truncatedJpegShare = 0.2;
    faults.seed = 3;
    server->setFaults(faults);

    const ExportResult mjpeg = Run(Job({Piece(rec)}, folder.File("cut.avi"), ExportFormat::MjpegAvi));
    ASSERT_TRUE(mjpeg.ok) << mjpeg.error;
    EXPECT_GT(mjpeg.framesSkipped, 0u);
    EXPECT_EQ(rec.frameCount, mjpeg.framesWritten + mjpeg.framesSkipped);
    EXPECT_EQ(std::to_string(mjpeg.framesWritten), test::Probe(folder.File("cut.avi"))["nb_read_packets"]);

    const ExportResult h264 = Run(Job({Piece(rec)}, folder.File("cut.mp4"), ExportFormat::H264Mp4));
    ASSERT_TRUE(h264.ok) << h264.error;
    EXPECT_GT(h264.framesSkipped, 0u);
    // A repeated picture fills the place of each cut one, unless the very first was cut.
    EXPECT_GE(h264.framesWritten + 1, rec.frameCount);
    EXPECT_EQ(std::to_string(h264.framesWritten), test::Probe(folder.File("cut.mp4"))["nb_read_packets"]);
}

TEST_F(VideoExporterTest, CancelLeavesNoFileUnlessWhatWasWrittenIsKept) {
    const recorder::Recording& rec = Bay().front();
    std::atomic<bool> cancel{false};
    auto cancelAtTen = [&](const ExportProgress& p) {
        if (p.framesDone == 10) cancel = true;
    };
    ExportJob job = Job({Piece(rec)}, folder.File("cancel.avi"), ExportFormat::MjpegAvi);
    ExportResult result = CVideoExporter().Run(job, cancelAtTen, cancel);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.writtenPath.empty());
    EXPECT_EQ(0u, folder.Entries());

    cancel = false;
    job.format = ExportFormat::H264Mp4;
    job.outputPath = folder.File("kept.mp4");
    job.keepPartial = true;
    result = CVideoExporter().Run(job, cancelAtTen, cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(job.outputPath, result.writtenPath);
    EXPECT_EQ(1u, folder.Entries());
    EXPECT_EQ("10", test::Probe(job.outputPath)["nb_read_packets"]);
}

TEST_F(VideoExporterTest, ARecorderThatDiesMidExportIsReportedAndLeavesNothing) {
    const recorder::Recording& rec = Bay().front();
    const ExportResult result = Run(Job({Piece(rec)}, folder.File("dies.avi"), ExportFormat::MjpegAvi),
                                    [&](const ExportProgress& p) {
                                        if (p.framesDone == 5) server->stop();
                                    });
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_NE(std::string::npos, result.error.find("stopped answering")) << result.error;
    // What had arrived ahead of the death is written too, and nothing more.
    EXPECT_GE(result.framesWritten, 5u);
    EXPECT_LT(result.framesWritten, rec.frameCount);
    EXPECT_EQ(0u, folder.Entries());
}

TEST_F(VideoExporterTest, RefusedFramesAndUnwritableFoldersAreReported) {
    const recorder::Recording& rec = Bay().front();
    ExportPiece piece = Piece(rec);
    piece.fileName += "x";  // a file the recorder does not have
    ExportResult result = Run(Job({piece}, folder.File("none.avi"), ExportFormat::MjpegAvi));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(std::string::npos, result.error.find("could not open")) << result.error;

    result = Run(Job({Piece(rec)}, folder.File("missing/folder/out.avi"), ExportFormat::MjpegAvi));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(std::string::npos, result.error.find("could not be created")) << result.error;
    EXPECT_EQ(0u, folder.Entries());
}

// A file size limit stands in for a full disk. It is set in this process
// rather than in a forked child: a child forked while the recorder's threads
// hold a lock can wait on that lock for ever.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, saved.rlim_max};
        ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);
    }
    bool ok = false;

private:
    rlimit saved{};
    sighandler_t previousHandler{};
};

TEST_F(VideoExporterTest, AFullDiskIsReportedAndLeavesNoFile) {
    const recorder::Recording& rec = Bay().front();
    const ExportJob job = Job({Piece(rec)}, folder.File("full.avi"), ExportFormat::MjpegAvi);
    ExportResult result;
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.ok);
        result = Run(job);
    }
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(0u, result.error.find("The file could not be written")) << result.error;
    EXPECT_EQ(0u, folder.Entries());
}

}  // namespace
}  // namespace corvanta
