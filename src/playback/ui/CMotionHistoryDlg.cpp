#include "playback/ui/CMotionHistoryDlg.h"

#include "archive/ArchiveNodes.h"
#include "framework/CFilterIcpClient.h"
#include "framework/FilterCodes.h"
#include "playback/PlayerRecords.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CPlayerDlg.h"

namespace corvanta {

using namespace ui;

namespace {

const DialogTemplate kTemplate{CMotionHistoryDlg::kTemplateId, "", 341, 269, "MS Sans Serif", 8, {}};

}  // namespace

CMotionHistoryDlg::CMotionHistoryDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    setWindowFlags(Qt::Widget);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_timeline = new CDayTimelineDlg(this);
    m_player = new CPlayerDlg(kHistoryPlayerName, this);
}

CMotionHistoryDlg::~CMotionHistoryDlg() {
    Shutdown();
    CFilter::Close();
}

CFilterDescriptor CMotionHistoryDlg::MakeDescriptor() {
    return CFilterDescriptor{.name = kMotionHistoryFilterName, .classCode = kFilterClassDialog,
                             .typeCode = kFilterTypePlayback, .ownThread = 0, .version = "1.0.0",
                             .queryCapacity = 345600, .answerCapacity = 345600};
}

int CMotionHistoryDlg::Create() {
    if (m_created) return 1;
    if (!Init(MakeDescriptor())) return 0;
    PublishInfo();
    Start(true);
    m_created = true;
    m_timeline->show();
    m_player->Create();
    m_player->show();
    Layout();
    return 1;
}

void CMotionHistoryDlg::Shutdown() {
    if (!m_created) return;
    m_created = false;
    delete m_timeline;
    m_timeline = nullptr;
    m_player->Shutdown();
    delete m_player;
    m_player = nullptr;
    Stop(true);
    Disconnect();
    CFilter::Close();
}

int CMotionHistoryDlg::OnIcp(IcpRecord* query, IcpRecord* answer) {
    answer->kind = kIcpCommandAnswer;
    answer->dataLength = 0;
    if (query->kind != kIcpCommand || query->code != kMotionHistoryShowDay || !m_timeline) return 0;
    // The tree may have let the day go since it sent the handle.
    const DayPayload* day = FindDayPayload(query->param1);
    if (!day) return 0;
    m_dayHandle = query->param1;
    m_timeline->SetSessions(m_dayHandle);
    m_timeline->SetDay(day->year, day->month, day->day, day->activity);
    return 1;
}

void CMotionHistoryDlg::Layout() {
    if (!m_timeline || !m_player) return;
    const int w = std::max(width() - 2 * kTimelineMargin, 0);
    const int timelineHeight = m_timeline->height();
    const int top = std::max(height() - timelineHeight, 0);
    m_timeline->setGeometry(kTimelineMargin, top, w, timelineHeight);
    m_player->setGeometry(kTimelineMargin, 0, w, top);
}

void CMotionHistoryDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    Layout();
}

void CMotionHistoryDlg::hideEvent(QHideEvent* event) {
    CTemplateDialog::hideEvent(event);
    // Nothing plays behind a hidden view, nor stays open on the recorder.
    // Hidden with its parent (another tab chosen) it keeps its file.
    if (m_created && isHidden()) {
        if (m_timeline) m_timeline->CloseCurrent();
        SendIcpCommand(kHistoryPlayerName, kPlayerClose, 0, 0, static_cast<const void*>(nullptr), 0);
    }
}

}  // namespace corvanta
