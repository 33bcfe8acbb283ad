#pragma once
#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/CFilter.h"
#include "archive/ArchiveRecords.h"
#include "framework/CFilterIcpClient.h"
#include "playback/CFrameImage.h"
#include "playback/FrameTime.h"
#include "playback/PlaybackClock.h"
#include "playback/ui/CExportProgressDlg.h"
#include "platform/OneShotTimer.h"
#include "services/ui/CTemplateDialog.h"

class QLabel;
class QShortcut;

namespace corvanta {

class CExportDlg;
class CPlayerControlDlg;
class CPositionSlider;
class CVideoView;

// A player: the video, the position slider and the control panel, and at
// the same time the local filter ("AVIPlayback Single" or "AVIPlayback
// Single2") that its owner opens files in. Its queue runs on the GUI thread,
// so commands, the playback clock (timer 1) and the jog (timer 2) are
// handled there in turn with the widgets' events.
//
// Life: construct, Create (registers the filter, binds the panel, starts
// the timers), use, Shutdown, destroy.
class CPlayerDlg : public ui::CTemplateDialog, public CFilter, private IPlayerSurface {
public:
    static constexpr int kTemplateId = 130;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    enum ControlId { kIdVideo = 1002, kIdPosition = 1010, kIdFrameTime = 1011 };

    CPlayerDlg(std::string filterName, QWidget* parent = nullptr);
    ~CPlayerDlg() override;

    // Class 7, type 24, on the creating thread, 4096-byte regions.
    static CFilterDescriptor MakeDescriptor(const std::string& name);

    // 0 when the filter cannot be registered.
    int Create();
    // Timers off, filter stopped, stream client closed, panel gone, filter
    // closed. Calling it twice does nothing.
    void Shutdown();

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;
    int CB_Timer(uint32_t timer) override;

    CVideoView* View() const { return m_view; }
    CPositionSlider* PositionSlider() const { return m_slider; }
    // The shown frame's recorded time and number, under the slider.
    QLabel* FrameTimeLabel() const { return m_time; }
    CPlayerControlDlg* Panel() const { return m_panel; }
    const PlaybackState& State() const;
    const CPlaybackClock& Clock() const { return *m_clock; }
    const CFrameImage& Snapshot() const;
    bool Fit() const { return m_fit; }
    uint32_t ClockPeriod() const { return m_clockPeriod; }
    uint32_t JogPeriod() const { return m_jogPeriod; }
    uint32_t FramesShown() const { return m_framesShown; }

    // Shows the save dialog for the frame shown last and writes the chosen
    // file; what a right double click on the video does while a file is open.
    void SaveSnapshotAs();

    // The export dialog for the open file, its range the whole file; null
    // while no file with a known start is open or the recorder does not
    // describe it.
    std::unique_ptr<CExportDlg> MakeExportDialog();
    // Shows the export dialog and starts what it is accepted for; what the
    // picture's context menu and Ctrl+E do.
    void ExportFile();
    // The progress of the export last started here; null when none.
    CExportProgressDlg* ExportProgress() const { return m_export; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Embedded in its view: Escape does not close it.
    void OnCancel() override {}

private:
    // IPlayerSurface
    bool StreamBound() override;
    bool FetchFrame(uint32_t frame, uint32_t* holdMs) override;
    void ReportEnd() override;
    void MoveSlider(uint32_t frame) override;
    void SetTimerPeriod(uint32_t timer, uint32_t periodMs) override;
    void StartFrameHold(uint32_t delayMs, std::atomic<uint32_t>& hold) override;
    void SettleFrameHold() override;
    uint32_t Now() override;

    void OpenFile(const IcpRecord* query);
    void CloseFile();
    void ShowNotice(const IcpRecord* query);
    void SetFileTime(const IcpRecord* query);
    void ShowFrameTime(uint32_t frame);
    void Layout();
    bool InsideVideo(QPoint at) const;
    void MakeShortcuts();
    void SeekTo(uint32_t frame);

    std::string m_filterName;
    CVideoView* m_view = nullptr;
    CPositionSlider* m_slider = nullptr;
    CPlayerControlDlg* m_panel = nullptr;
    QLabel* m_time = nullptr;
    FrameTimeText m_frameTime;
    std::string m_fileName;
    TimeQuery m_fileWindow{};  // the file's start, stop and source; from the file-time command
    bool m_hasFileWindow = false;
    QPointer<CExportProgressDlg> m_export;
    std::unique_ptr<CPlaybackClock> m_clock;
    CFilterIcpClient m_stream;
    // Taken at the right double click, so the dialog's wait changes nothing.
    CFrameImage m_snapshot;
    platform::Hwnd m_owner = 0;
    uint32_t m_fileKey = 0;
    int32_t m_layoutWidth = 320;
    int32_t m_layoutHeight = 240;
    bool m_fit = false;
    uint32_t m_stepNextAvi = 0;
    uint32_t m_stepNextFrame = 0;
    uint32_t m_clockPeriod = 0;
    uint32_t m_jogPeriod = 0;
    uint32_t m_framesShown = 0;
    bool m_created = false;
    platform::OneShotTimer m_holdTimer;
};

}  // namespace corvanta
