#include <gtest/gtest.h>

#include <QAction>
#include <QToolBar>
#include <QTreeWidget>

#include "archive/ArchiveRecords.h"
#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "maindlg/ui/CArchiveMainDlg.h"
#include "maindlg/ui/CPaneTabCtrl.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "platform/WindowSystem.h"
#include "playback/PlaybackRecords.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "remote/RemoteSession.h"
#include "services/UserAccessRecords.h"
#include "support/TestFilters.h"
#include "support/TestHttpServer.h"
#include "support/WaitFor.h"

namespace corvanta {
namespace {

const char* const kFilters[] = {kLanguageTranslatorName, kUserPrivilegeFilterName, kArchiveQueryFilterName,
                                kPlaybackManagerFilterName, kMainDialogFilterName};

class MainDialog : public ::testing::Test {
protected:
    MainDialog() { test::QtTestApp(); }

    std::unique_ptr<CArchiveMainDlg> Open() {
        auto dialog = std::make_unique<CArchiveMainDlg>(nullptr, test::OwnSeconds());
        dialog->resize(900, 600);
        dialog->show();
        return dialog;
    }

    test::ServiceWorld home{false};  // the dialog draws its own instance
    test::RecorderWorld recorder;
};

TEST_F(MainDialog, StartsEveryFilterAndClosesWithNothingLeftBehind) {
    Open().reset();  // threads Qt and the sanitizers start once per process are not the dialog's
    const int threadsBefore = test::CountEntries("/proc/self/task");
    std::vector<platform::Hwnd> queues;
    std::string instance;
    {
        auto dialog = Open();
        instance = "_" + std::to_string(InstanceNames::InstanceNumber()) + ".";
        for (const char* name : kFilters) {
            queues.push_back(CMessageQueueManager::FindQueue(name));
            EXPECT_NE(queues.back(), 0u) << name;
        }
        for (uint32_t code : {0u, 1u, 4u, 32772u})
            EXPECT_EQ(SendIcpCommand(kMainDialogFilterName, code, 0, 0, static_cast<const void*>(nullptr), 0), 0) << code;
        EXPECT_GT(test::CountEntries("/dev/shm", instance), 0);
    }
    for (platform::Hwnd queue : queues) EXPECT_FALSE(platform::IsWindow(queue));
    EXPECT_FALSE(platform::IsWindow(CMessageQueueManager::FindQueue(kMainDialogFilterName)));
    EXPECT_EQ(test::CountEntries("/dev/shm", instance), 0);
    EXPECT_TRUE(test::WaitFor([&] { return test::CountEntries("/proc/self/task") <= threadsBefore; }, 5000))
        << test::CountEntries("/proc/self/task") << " threads, " << threadsBefore << " before";
}

TEST_F(MainDialog, LoginMakesThePanesOnceLogOffFilesThemAwayAndTheLeftTabKeepsItsWidth) {
    auto dialog = Open();
    test::RecordingMessageBoxes sink;  // after the dialog installed its own
    EXPECT_FALSE(dialog->Command(CArchiveMainDlg::kCmdRefresh)->isEnabled());
    test::SaveScreenshot(dialog.get(), "main_dialog_before_login.png");

    test::LogIn(*dialog, nullptr);  // Cancel
    test::LogIn(*dialog, "demo", "wrong");
    EXPECT_EQ(dialog->LeftTab()->Count(), 0);
    EXPECT_EQ(dialog->FullPane(), nullptr);
    ASSERT_EQ(sink.Texts().size(), 1u) << "only the refused login says something";
    EXPECT_NE(sink.Texts()[0].find("refused the login"), std::string::npos) << sink.Texts()[0];

    test::LogIn(*dialog);
    ASSERT_NE(dialog->FullPane(), nullptr);
    CArchiveTreeDlg* full = dialog->FullPane();
    CTimeTreeDlg* byTime = dialog->ByTimePane();
    CArchiveViewDlg* view = dialog->ViewPane();
    EXPECT_EQ(full->Owner(), view->Window());
    EXPECT_TRUE(dialog->Command(CArchiveMainDlg::kCmdRefresh)->isEnabled());
    test::SaveScreenshot(dialog.get(), "main_dialog_after_login.png");

    // "Refresh" asks the pane of the selected tab only.
    const auto sourceLists = [&] { return recorder.CommandLines(kArchiveQueryFilterName, kArchiveListSources).size(); };
    const size_t listed = sourceLists();
    test::ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    EXPECT_EQ(sourceLists(), listed + 1);
    test::ClickTab(dialog->LeftTab(), 1);
    test::ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    EXPECT_EQ(recorder.CommandLines(kArchiveQueryFilterName, kArchiveSearch).size(), 1u);
    EXPECT_EQ(sourceLists(), listed + 2) << "the time tree listed its sources once, when first shown";

    test::LogIn(*dialog, nullptr, nullptr, true);  // "Log Off..."
    EXPECT_FALSE(full->isVisible() || byTime->isVisible() || view->isVisible());
    EXPECT_FALSE(dialog->Command(CArchiveMainDlg::kCmdRefresh)->isEnabled());

    test::LogIn(*dialog);
    EXPECT_EQ(std::pair(dialog->FullPane(), dialog->ViewPane()), std::pair(full, view)) << "the panes are made once";
    EXPECT_EQ(sourceLists(), listed + 3) << "a new login refreshes \"Full\"";
    EXPECT_EQ(byTime->Tree()->topLevelItemCount(), 0) << "and clears \"By time\"";

    for (QSize size : {QSize(1400, 900), QSize(400, 300)}) {
        dialog->resize(size);
        const int top = dialog->Toolbar()->height();
        EXPECT_EQ(dialog->LeftTab()->geometry(), QRect(0, top, 210, size.height() - top));
        EXPECT_EQ(dialog->RightTab()->geometry(), QRect(215, top, size.width() - 215, size.height() - top));
        EXPECT_EQ(dialog->ViewPane()->geometry().top(), dialog->RightTab()->DisplayRect().top() + 3)
            << "pages drop 3 pixels on a resize";
    }

    // The recorder goes away: the next login says nobody answered and changes nothing.
    SetFilterServerURL("http://127.0.0.1:1");
    test::LogIn(*dialog);
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_NE(sink.Texts()[1].find("No recorder answered at http://127.0.0.1:1"), std::string::npos) << sink.Texts()[1];
    EXPECT_EQ(dialog->LeftTab()->Count(), 2);

    // A web page, and a recorder asked over https://, are no recorder: the advice is the address.
    test::TestHttpServer webPage;
    webPage.SetPage("404 Not Found", "<html><body><h1>Not Found</h1></body></html>");
    for (const std::string& url : {webPage.BaseUrl(), "https://" + recorder.BaseUrl().substr(7)}) {
        SetFilterServerURL(url);
        test::LogIn(*dialog);
        EXPECT_NE(sink.Texts().back().find("The server at " + url + " did not answer as a recorder."), std::string::npos)
            << sink.Texts().back();
    }
    EXPECT_EQ(sink.Texts().size(), 4u);
}

std::vector<std::string> Titles(const CPaneTabCtrl* tabs) {
    std::vector<std::string> titles;
    for (int i = 0; i < tabs->Count(); ++i) titles.push_back(tabs->Title(i).toStdString());
    return titles;
}

// A restarted recorder, or one that dropped an idle session, cannot log the
// old session off: the next login must not file the panes a second time.
TEST_F(MainDialog, AHostLogsInWithoutTheDialogAndAFailureIsToldAsTheDialogTellsIt) {
    auto dialog = Open();
    test::RecordingMessageBoxes sink;
    EXPECT_FALSE(dialog->LoginWith("demo", "wrong"));
    EXPECT_EQ(dialog->FullPane(), nullptr);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_NE(sink.Texts()[0].find("refused the login"), std::string::npos) << sink.Texts()[0];

    ASSERT_TRUE(dialog->LoginWith("demo", "demo"));
    EXPECT_EQ(dialog->LoggedIn(), 1);
    EXPECT_EQ(dialog->UserName(), "demo");
    EXPECT_EQ(dialog->ServerUrl(), recorder.BaseUrl());
    EXPECT_EQ(Titles(dialog->LeftTab()), std::vector<std::string>({"Full", "By time"}));
    EXPECT_TRUE(dialog->Command(CArchiveMainDlg::kCmdRefresh)->isEnabled());
    ASSERT_TRUE(test::WaitFor([&] { return dialog->FullPane()->Tree()->topLevelItemCount() > 0; }, 5000));
}

TEST_F(MainDialog, ALoginAfterTheRecorderForgotTheSessionFilesEachPaneOnce) {
    auto dialog = Open();
    test::LogIn(*dialog);
    ASSERT_NE(dialog->FullPane(), nullptr);
    ASSERT_TRUE(recorder.Restart());
    test::LogIn(*dialog);
    EXPECT_EQ(Titles(dialog->LeftTab()), std::vector<std::string>({"Full", "By time"}));
    EXPECT_EQ(Titles(dialog->RightTab()), std::vector<std::string>({"View"}));
    EXPECT_TRUE(dialog->FullPane()->isVisible());
}

}  // namespace
}  // namespace corvanta
