// The export dialog and its progress, from the day timeline and the player,
// against the recorder stand-in in the test process.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeZone>
#include <QTimer>

#include <cstring>

#include "archive/ArchiveNodes.h"
#include "playback/PlayerRecords.h"
#include "playback/export/ExportTestSupport.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CExportDlg.h"
#include "playback/ui/CExportProgressDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/PlayerTestSupport.h"
#include "remote/RemoteSession.h"

namespace corvanta {
namespace {

// Answers the next question box with `button` once it shows.
struct QuestionAnswer {
    explicit QuestionAnswer(QMessageBox::StandardButton answer) : button(answer) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->button(button)) return;
            ++shown;
            text = box->text();
            box->button(button)->click();
        });
        timer.start();
    }
    QMessageBox::StandardButton button;
    int shown = 0;
    QString text;
    QTimer timer;
};

class ExportDialogTest : public test::RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        SetFilterServerURL(server->baseUrl());
        SetSessionId(session);
    }
    void TearDown() override {
        SetFilterServerURL("");
        SetSessionId("");
    }
    const recorder::DemoSource& Bay() const { return Source("CAM04"); }
    // The first day with two files of the loading bay, as the archive tree lists it.
    std::vector<recorder::Recording> TwoFiles() const {
        const auto& recs = server->archive().recordings(Bay().index);
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recorder::dateOf(recs[i].start).day == recorder::dateOf(recs[i + 1].start).day &&
                recorder::dateOf(recs[i + 1].stop).day == recorder::dateOf(recs[i].start).day)
                return {recs[i], recs[i + 1]};
        throw std::runtime_error("no two files on one day");
    }
    void AddSession(const recorder::Recording& rec) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        node->session->fileName = rec.fileName;
        node->session->sourceId = Bay().id;
        node->session->sourceName = Bay().displayName;
        node->session->start = recorder::toSystemTime(rec.start);
        node->session->stop = recorder::toSystemTime(rec.stop);
        day.sessions.Add(std::move(node));
    }
    // Runs an accepted dialog's export to its end.
    ExportResult RunExport(const CExportDlg& dialog, QWidget* parent) {
        ExportResult result;
        bool finished = false;
        CExportProgressDlg* progress = StartExport(dialog, parent);
        progress->SetOnFinished([&](const ExportResult& r) {
            result = r;
            finished = true;
        });
        EXPECT_TRUE(test::PumpUntil([&] { return finished; }, 60000));
        return result;
    }

    test::PlayerWorld world;
    test::TempFolder folder;
    DayPayload day;
};

TEST_F(ExportDialogTest, TheDayTimelineExportsTheSelectedIntervalOverTwoFiles) {
    const auto files = TwoFiles();
    for (const auto& rec : files) AddSession(rec);
    CDayTimelineDlg timeline;
    timeline.resize(520, 200);
    timeline.show();
    const recorder::CivilDate date = recorder::dateOf(files[0].start);
    const int64_t midnight = recorder::startOfDay(date);
    timeline.SetSessions(day.Handle());
    timeline.SetDay(date.year, int(date.month), int(date.day), {});
    // From a minute before the first file to a minute after the second.
    timeline.RangeSlider()->SetRange(double(files[0].start - midnight - 60), double(files[1].stop - midnight + 60), 60);

    std::unique_ptr<CExportDlg> dialog = timeline.MakeExportDialog();
    ASSERT_NE(nullptr, dialog);
    dialog->show();
    const uint64_t frames = files[0].frameCount + files[1].frameCount;
    EXPECT_EQ(frames, dialog->Plan().FrameCount());
    EXPECT_TRUE(dialog->ExportButton()->isEnabled());
    EXPECT_TRUE(dialog->SummaryLabel()->text().startsWith(QString::number(frames) + " frames, about "));
    EXPECT_TRUE(QFileInfo(dialog->PathEdit()->text()).fileName().startsWith("Loading_bay_"));
    EXPECT_TRUE(dialog->PathEdit()->text().endsWith(".avi"));
    dialog->grab().save(SCREENSHOT_DIR "/export_dialog.png");

    // Only the gap between the files: nothing to export, and the dialog says why.
    const QDateTime end = dialog->ToEdit()->dateTime();
    dialog->FromEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(files[0].stop + 5, QTimeZone::utc()));
    dialog->ToEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(files[1].start - 5, QTimeZone::utc()));
    EXPECT_FALSE(dialog->ExportButton()->isEnabled());
    EXPECT_EQ("Nothing was recorded in this range.", dialog->SummaryLabel()->text());
    EXPECT_EQ("Nothing was recorded in this range.", dialog->ExportButton()->toolTip());

    dialog->FromEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(files[0].start, QTimeZone::utc()));
    dialog->ToEdit()->setDateTime(end);
    dialog->FormatBox()->setCurrentIndex(1);
    EXPECT_TRUE(dialog->PathEdit()->text().endsWith(".mp4"));  // the default name follows the format
    const std::string name = QFileInfo(dialog->PathEdit()->text()).fileName().toStdString();
    dialog->PathEdit()->setText(QString::fromStdString(folder.File(name)));
    const ExportResult result = RunExport(*dialog, &timeline);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(frames, result.framesWritten);
    EXPECT_EQ(std::to_string(frames), test::Probe(folder.File(name))["nb_read_packets"]);
}

TEST_F(ExportDialogTest, ThePlayerExportsTheWholeFileAndAsksBeforeReplacingAFile) {
    const recorder::Recording rec = TwoFiles()[0];
    CPlayerDlg player(kStandalonePlayerName);
    player.resize(640, 600);
    player.show();
    ASSERT_EQ(1, player.Create());
    EXPECT_EQ(nullptr, player.MakeExportDialog());  // nothing open
    FileDescription d{};
    d.info.width = Bay().width;
    d.info.height = Bay().height;
    d.info.scale = Bay().scale;
    d.info.rate = Bay().rate;
    d.frameCount = rec.frameCount;
    const PlayerOpenBlock block = MakePlayerOpenBlock(d, 0, rec.fileName.c_str());
    test::Owner owner;
    ASSERT_EQ(1, test::SendToPlayer(kStandalonePlayerName, kPlayerOpen, owner.Handle(), 1, &block));
    EXPECT_EQ(nullptr, player.MakeExportDialog());  // the file's start is not known yet
    TimeQuery window{};
    window.from = recorder::toSystemTime(rec.start);
    window.to = recorder::toSystemTime(rec.stop);
    std::strcpy(window.sourceId, Bay().id.c_str());
    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kStandalonePlayerName));
    client.SendCommand(kPlayerFileTime, 0, 0, &window, sizeof window);

    std::unique_ptr<CExportDlg> dialog = player.MakeExportDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(rec.frameCount, dialog->Plan().FrameCount());
    EXPECT_EQ(rec.start, dialog->FromEdit()->dateTime().toSecsSinceEpoch());
    EXPECT_EQ(QStringLiteral("yyyy-MM-dd HH:mm:ss"), dialog->FromEdit()->displayFormat());

    const std::string path = folder.File("taken.avi");
    test::WriteWholeFile(path, "someone else's");
    dialog->PathEdit()->setText(QString::fromStdString(path));
    {
        QuestionAnswer no(QMessageBox::No);
        dialog->accept();
        EXPECT_EQ(1, no.shown);
        EXPECT_TRUE(no.text.contains("taken.avi"));
        EXPECT_NE(QDialog::Accepted, dialog->result());
    }
    {
        QuestionAnswer yes(QMessageBox::Yes);
        dialog->accept();
        EXPECT_EQ(1, yes.shown);
        EXPECT_EQ(QDialog::Accepted, dialog->result());
    }
    const ExportResult result = RunExport(*dialog, &player);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(rec.frameCount, result.framesWritten);
    EXPECT_EQ(std::to_string(rec.frameCount), test::Probe(path)["nb_read_packets"]);
    player.Shutdown();
}

TEST_F(ExportDialogTest, ARunningExportAsksBeforeItIsCancelledAndLeavesNoFile) {
    // The entrance camera's first file: thousands of frames at 25 per second.
    const recorder::Recording& rec = server->archive().recordings(Source("CAM01").index).front();
    ExportPiece piece;
    piece.fileName = rec.fileName;
    piece.sourceId = "CAM01";
    piece.start = recorder::toSystemTime(rec.start);
    piece.stop = recorder::toSystemTime(rec.stop);
    piece.lastFrame = rec.frameCount - 1;
    ExportJob job;
    job.serverUrl = server->baseUrl();
    job.sessionId = session;
    job.pieces = {piece};
    job.outputPath = folder.File("long.avi");
    CExportProgressDlg progress(job);
    progress.Start();
    EXPECT_EQ(1, CExportProgressDlg::RunningCount());
    ASSERT_TRUE(test::PumpUntil([&] { return progress.StatusLabel()->text().startsWith("5"); }, 30000));
    {
        QuestionAnswer no(QMessageBox::No);
        EXPECT_FALSE(CExportProgressDlg::AskToCancelAll(nullptr));
        EXPECT_EQ(1, no.shown);
    }
    EXPECT_TRUE(progress.Running());
    {
        QuestionAnswer yes(QMessageBox::Yes);
        EXPECT_TRUE(CExportProgressDlg::AskToCancelAll(nullptr));
        EXPECT_EQ(1, yes.shown);
    }
    ASSERT_TRUE(test::PumpUntil([&] { return progress.Finished(); }, 30000));
    EXPECT_TRUE(progress.Result().cancelled);
    EXPECT_EQ(0, CExportProgressDlg::RunningCount());
    EXPECT_TRUE(CExportProgressDlg::AskToCancelAll(nullptr));  // nothing runs: nothing asked
    ASSERT_NE(nullptr, progress.ResultBox());
    EXPECT_TRUE(progress.ResultBox()->text().contains("cancelled; no file was kept"));
    EXPECT_EQ(0u, folder.Entries());
    progress.ResultBox()->close();
}

}  // namespace
}  // namespace corvanta
