#pragma once
#include <string>

#include "framework/CFilter.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CDayTimelineDlg;
class CPlayerDlg;

// The motion history view: the day timeline below and the second player
// ("AVIPlayback Single2") above, and the filter "AVIPlayback MotionHistory"
// that the archive tree hands a day to (command 1, param1 = the handle of
// the day's payload, resolved with FindDayPayload).
//
// Life: construct, Create, use, Shutdown, destroy.
class CMotionHistoryDlg : public ui::CTemplateDialog, public CFilter {
public:
    static constexpr int kTemplateId = 157;
    static constexpr int kTimelineMargin = 40;  // pixels left and right of timeline and player

    explicit CMotionHistoryDlg(QWidget* parent = nullptr);
    ~CMotionHistoryDlg() override;

    // Class 7, type 24, on the creating thread, 345600-byte regions.
    static CFilterDescriptor MakeDescriptor();

    // Registers the filter, then the player. 0 when the filter cannot be registered.
    int Create();
    void Shutdown();

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    CPlayerDlg* Player() const { return m_player; }
    CDayTimelineDlg* Timeline() const { return m_timeline; }
    // The handle of the day last shown, 0 before the first.
    uint32_t DayHandle() const { return m_dayHandle; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void Layout();

    CDayTimelineDlg* m_timeline = nullptr;
    CPlayerDlg* m_player = nullptr;
    uint32_t m_dayHandle = 0;
    bool m_created = false;
};

}  // namespace corvanta
