// The connection's state as the host shows it: the control's signal and the
// reference host's status line, against the recorder stand-in stopped and
// started again on its port.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QStatusBar>

#include "app/HostWindow.h"
#include "control/CCorvantaArchiveCtrl.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "playback/ui/PlayerTestSupport.h"
#include "remote/ConnectionState.h"
#include "support/TestFilters.h"

namespace corvanta {
namespace {

using namespace test;

// The host's module, made of this test's own control.
app::ControlModule TestModule() {
    app::ControlModule module;
    module.create = [](void* parent) -> void* {
        return new CCorvantaArchiveCtrl(static_cast<QWidget*>(parent), OwnSeconds());
    };
    module.destroy = [](void* control) { delete static_cast<CCorvantaArchiveCtrl*>(control); };
    return module;
}

class ConnectionStateLine : public ::testing::Test {
protected:
    void SetUp() override {
        QtTestApp();
        ASSERT_TRUE(recorder.Started());
        window.emplace(TestModule(), "http://127.0.0.1", recorder.Server().port(), false);
        control = static_cast<CCorvantaArchiveCtrl*>(window->Control());
        QObject::connect(control, &CCorvantaArchiveCtrl::ConnectionStateChanged,
                         [this](const QString& text) { said.push_back(text.toStdString()); });
        window->show();
        ASSERT_NE(control->MainDialog(), nullptr);
        messages.emplace();
        url = "http://127.0.0.1:" + std::to_string(recorder.Server().port());
    }
    // True once both the signal and the status line have said `text`.
    bool Says(const std::string& text) {
        return PumpUntil([&] {
            return !said.empty() && said.back() == text && window->StatusLine()->text().toStdString() == text;
        }, 5000);
    }
    void Refresh() { ClickCommand(*control->MainDialog(), CArchiveMainDlg::kCmdRefresh); }

    ServiceWorld home{false};
    RecorderWorld recorder;
    std::optional<app::HostWindow> window;
    CCorvantaArchiveCtrl* control = nullptr;
    std::optional<RecordingMessageBoxes> messages;
    std::vector<std::string> said;
    std::string url;
};

TEST_F(ConnectionStateLine, ConnectedNotAnsweringWhileTheRecorderIsDownAndConnectedAgainWhenItAnswers) {
    EXPECT_EQ(window->StatusLine()->text(), QStringLiteral("Not logged in"));
    EXPECT_EQ(control->property("ConnectionState").toString(), QStringLiteral("Not logged in"));

    LogIn(*control->MainDialog());
    ASSERT_TRUE(Says("Connected to " + url + " as demo")) << window->StatusLine()->text().toStdString();

    recorder.Stop();
    for (int i = 0; i < ConnectionState::kFailuresBeforeNotAnswering; ++i) Refresh();
    EXPECT_TRUE(Says("The recorder at " + url + " is not answering \u2014 retrying"))
        << window->StatusLine()->text().toStdString();
    EXPECT_EQ(messages->Texts().size(), 0u) << "said in the status line, not in a box";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    ASSERT_TRUE(recorder.StartAgain());
    Refresh();
    EXPECT_TRUE(Says("Connected to " + url + " as demo")) << window->StatusLine()->text().toStdString();

    LogIn(*control->MainDialog(), "demo", "demo", true);
    EXPECT_TRUE(Says("Not logged in")) << window->StatusLine()->text().toStdString();
}

}  // namespace
}  // namespace corvanta
