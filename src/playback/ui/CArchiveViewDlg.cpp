#include "playback/ui/CArchiveViewDlg.h"

#include "playback/PlayerRecords.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "platform/WindowSystem.h"

namespace corvanta {

using namespace ui;

namespace {

// OK and Cancel are kept from the template but never shown.
const ControlTemplate kControls[] = {
    {kIdOk, ControlKind::DefPushButton, "OK", 129, 7, 50, 14, kStyleHidden},
    {kIdCancel, ControlKind::PushButton, "Cancel", 129, 24, 50, 14, kStyleHidden},
};
const DialogTemplate kTemplate{CArchiveViewDlg::kTemplateId, "", 186, 95, "MS Sans Serif", 8, kControls};

}  // namespace

CArchiveViewDlg::CArchiveViewDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    setWindowFlags(Qt::Widget);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_showPlayer = platform::RegisterWindowMessage(kShowPlayerMessage);
    m_window.Create("ArchiveViewer View", [this](uint32_t msg, platform::WParam w, platform::LParam l,
                                                 platform::LResult& result) {
        if (msg != m_showPlayer) return false;
        ShowChild(w, l);
        result = 1;
        return true;
    });

    m_player = new CPlayerDlg(kStandalonePlayerName, this);
    m_player->hide();
    m_player->Create();
    m_history = new CMotionHistoryDlg(this);
    m_history->hide();
    m_history->Create();
}

CArchiveViewDlg::~CArchiveViewDlg() {
    m_window.Destroy();
    m_player->Shutdown();
    m_history->Shutdown();
    delete m_player;
    delete m_history;
}

void CArchiveViewDlg::ShowChild(platform::WParam which, platform::LParam show) {
    QWidget* child = which == 0 ? static_cast<QWidget*>(m_player) : which == 1 ? m_history : nullptr;
    if (!child) return;
    if (show) {
        child->setGeometry(rect());
        child->show();
    } else {
        child->hide();
    }
}

void CArchiveViewDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_player->setGeometry(rect());
    m_history->setGeometry(rect());
}

}  // namespace corvanta
