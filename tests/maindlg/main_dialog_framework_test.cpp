#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

#include "archive/ArchiveRecords.h"
#include "framework/CFilterIcpClient.h"
#include "framework/InstanceNames.h"
#include "maindlg/MainDialogFramework.h"
#include "platform/WindowSystem.h"
#include "playback/PlaybackRecords.h"
#include "services/MainDialogSettings.h"
#include "services/UserAccessRecords.h"
#include "stores/CSettingsStore.h"
#include "services/service_test_env.h"
#include "support/TempConfigHome.h"
#include "support/WaitFor.h"

namespace corvanta {
namespace {

const char* const kFrameworkFilters[] = {kLanguageTranslatorName, kUserPrivilegeFilterName, kArchiveQueryFilterName,
                                         kPlaybackManagerFilterName, kMainDialogFilterName};

// The dialog's thread: brings the framework up, serves its queue until
// told to stop, then shuts it down. `atShutDown` runs as the panes would.
class DialogThread {
public:
    explicit DialogThread(std::function<void(CMainDialogFramework&)> atShutDown = {}) {
        std::promise<int> up;  // the failed parts, once the queue thread and the framework are known
        m_thread = std::thread([&, atShutDown] {
            Framework framework(atShutDown);
            const int failed = framework.StartUp(test::OwnSeconds());
            m_queueThread = platform::CurrentThreadId();
            m_framework = &framework;
            up.set_value(failed);
            platform::Msg m;
            while (platform::GetMessage(&m)) platform::DispatchMessage(m);
            framework.ShutDown();
        });
        m_failed = up.get_future().get();
    }
    ~DialogThread() { Stop(); }

    void Stop() {
        if (!m_thread.joinable()) return;
        platform::PostThreadMessage(m_queueThread, platform::WM_QUIT, 0, 0);
        m_thread.join();
    }
    int FailedParts() const { return m_failed; }
    CMainDialogFramework& Get() { return *m_framework; }

private:
    struct Framework : CMainDialogFramework {
        explicit Framework(std::function<void(CMainDialogFramework&)> hook) : m_hook(std::move(hook)) {}
        void DestroyPanes() override {
            if (m_hook) m_hook(*this);
        }
        std::function<void(CMainDialogFramework&)> m_hook;
    };

    std::thread m_thread;
    uint32_t m_queueThread = 0;
    int m_failed = -1;
    CMainDialogFramework* m_framework = nullptr;
};

class MainDialogFrameworkTest : public testenv::TempConfigHome {};

TEST_F(MainDialogFrameworkTest, StartUpStartsNoFilterAndServesStoredOrDefaultSettings) {
    {
        CSettingsStore stored;
        ASSERT_TRUE(DeclareMainDialogSettings(stored));
        stored.SetInt(kSettingStreamPort, 9100);
        ASSERT_TRUE(stored.Save());
    }
    DialogThread dialog;
    EXPECT_EQ(0, dialog.FailedParts());
    EXPECT_EQ(DrawInstanceNumber(test::OwnSeconds()), InstanceNames::InstanceNumber());
    CMainDialogFramework& f = dialog.Get();
    for (CFilter* filter : std::initializer_list<CFilter*>{&f, &f.Playback(), &f.Archive(), &f.Privilege(), &f.Translator()})
        EXPECT_FALSE(filter->IsRunning()) << filter->Name();

    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kMainDialogFilterName));
    // Settings are the base filter's business: the stored ones, else the dialog's defaults.
    int32_t value = 0;
    ASSERT_TRUE(client.GetInt(kSettingStreamPort, &value));
    EXPECT_EQ(9100, value);
    ASSERT_TRUE(client.GetInt(kSettingCommType, &value));
    EXPECT_EQ(2, value);
}

TEST_F(MainDialogFrameworkTest, ShutDownTakesThePanesFirstAndLeavesNothingReachable) {
    int foundAtPanes = 0;
    auto managerListed = [] { return CMessageQueueManager::FindQueue(InstanceNames::ManagerQueueName()) != 0; };
    DialogThread dialog([&](CMainDialogFramework&) {
        // The panes go first, while every filter and the manager still answer.
        for (const char* name : kFrameworkFilters) foundAtPanes += CMessageQueueManager::FindQueue(name) != 0;
        foundAtPanes += CMessageQueueManager::FindQueue(InstanceNames::ManagerQueueName()) != 0;
    });
    ASSERT_TRUE(test::WaitFor(managerListed, 3000));
    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kArchiveQueryFilterName));
    dialog.Stop();
    EXPECT_EQ(6, foundAtPanes);
    EXPECT_EQ(0, client.SendCommand(1, 0, 0, nullptr, 0)) << "nothing answers after the shutdown";
}

}  // namespace
}  // namespace corvanta
