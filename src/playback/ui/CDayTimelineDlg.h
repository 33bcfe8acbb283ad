#pragma once
#include <QDate>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/WindowTypes.h"
#include "playback/DayTimelinePlayback.h"
#include "playback/ThumbnailFetch.h"
#include "playback/TimelineThumbnails.h"
#include "playback/ui/CExportProgressDlg.h"
#include "playback/ui/CThumbnailPopup.h"
#include "services/ui/CMessageWindowHandle.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CExportDlg;
class CRangeSlider;
class CTimelineBar;

// The day timeline of the motion history view: the whole day on the lower
// bar with a frame around the chosen range, the range magnified on the upper
// bar, the range slider that chooses it, and three time texts (range start,
// range end, the second under the mouse or the one playing). A click on a
// bar plays the file of the day that covers that second in the second
// player.
//
// The bars rebuild their pictures only when the day, the range or their size
// change; the 5 ms update timer moves the markers and repaints them over the
// cached pictures. Resting the pointer on the upper bar shows a thumbnail of
// that second beside it, fetched on worker threads (TimelineThumbnails): the
// timer only asks whether it has arrived.
class CDayTimelineDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 156;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    enum ControlId {
        kIdRange = 1027,
        kIdLowerBar = 1028,
        kIdUpperBar = 1029,
        kIdHoverNumber = 1030,  // hidden: the hover second as a number
        kIdLeftText = 1032,
        kIdRightText = 1033,
        kIdMiddleText = 1034,
    };
    static constexpr int kBarMargin = 20;        // pixels left and right of both bars
    static constexpr int kUpdatePeriodMs = 5;
    static constexpr double kMinimumGap = 600;   // seconds between the handles while dragging

    explicit CDayTimelineDlg(QWidget* parent = nullptr);
    // Closes the file it opened.
    ~CDayTimelineDlg() override;

    // The day whose session list marks the gaps and plays (its payload's
    // handle, 0 for none). Set before SetDay.
    void SetSessions(uint32_t dayHandle);
    // Shows a day: the range one hour around noon, a copy of its activity
    // (seconds the bytes do not reach count as not recorded) with every
    // second no session covers marked as not recorded.
    void SetDay(int year, int month, int day, std::span<const uint8_t> activity);

    // Closes the file a click opened, in the manager and in the player.
    void CloseCurrent() { m_playback.CloseCurrent(); }

    // The export dialog for the range slider's interval of the day, the
    // files it touches joined in order; null without a day.
    std::unique_ptr<CExportDlg> MakeExportDialog();
    // Shows it and starts what it is accepted for; what the bars' context menu does.
    void ExportSelection();
    CExportProgressDlg* ExportProgress() const { return m_export; }

    // One pass of the update timer: hover and position markers, the middle
    // text, and playback after a click.
    void UpdateTick();

    // The window the range slider and the player report to.
    platform::Hwnd Window() const { return m_window.Handle(); }
    CRangeSlider* RangeSlider() const { return m_slider; }
    CTimelineBar* UpperBar() const { return m_upper; }
    CTimelineBar* LowerBar() const { return m_lower; }
    std::span<const uint8_t> Activity() const { return m_activity; }
    QDate Day() const { return m_day; }
    const DayTimelinePlayback& Playback() const { return m_playback; }
    // The thumbnail beside the pointer; null until one was first shown.
    CThumbnailPopup* ThumbnailPopup() const { return m_popup; }
    const TimelineThumbnails& Thumbnails() const { return m_thumbnails; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnRangeChanged();
    void UpdateTimeTexts();
    void UpdateThumbnail();
    std::optional<ThumbnailSource> LocateThumbnail(int32_t second) const;
    QString TimeText(double second) const;
    void SetEditText(int id, const QString& text);

    // What the three texts show, so a tick that changes none formats none.
    struct TextInputs {
        QDate day;
        double left = 0, right = 0;
        int32_t shown = -1;
        bool operator==(const TextInputs&) const = default;
    };

    ui::CMessageWindowHandle m_window;
    uint32_t m_rangeChanged = 0;
    uint32_t m_stepNextAvi = 0;
    CRangeSlider* m_slider = nullptr;
    CTimelineBar* m_upper = nullptr;
    CTimelineBar* m_lower = nullptr;
    std::vector<uint8_t> m_activity;
    QDate m_day;
    uint32_t m_dayHandle = 0;
    DayTimelinePlayback m_playback;
    CThumbnailFetcher m_fetcher;
    TimelineThumbnails m_thumbnails;  // after the fetcher, whose Fetch its workers call
    QPointer<CThumbnailPopup> m_popup;
    QPointer<CExportProgressDlg> m_export;  // a child of the top-level window
    TextInputs m_textInputs{QDate(), -1, -1, -1};  // matches nothing
    QTimer m_update;
};

}  // namespace corvanta
