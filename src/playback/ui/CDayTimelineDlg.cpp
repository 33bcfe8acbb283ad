#include "playback/ui/CDayTimelineDlg.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTime>

#include <algorithm>
#include <cmath>

#include "playback/DayActivity.h"
#include "playback/PlayerRecords.h"
#include "playback/TimelineColumns.h"
#include "playback/export/ExportPlan.h"
#include "playback/ui/CExportDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CThumbnailPopup.h"
#include "playback/ui/CTimelineBar.h"
#include "platform/WindowSystem.h"
#include "remote/RawRecorderChannel.h"
#include "remote/RemoteSession.h"
#include "services/ui/ControlIdentity.h"

namespace corvanta {

using namespace ui;

namespace {

// The bars and the range slider are made by the dialog itself: kIdUpperBar at
// 7,2 and kIdLowerBar at 7,42 (323 x 36 each), kIdRange at 7,82 (323 x 16).
const ControlTemplate kControls[] = {
    {CDayTimelineDlg::kIdLeftText, ControlKind::Edit, "", 7, 102, 91, 12},
    {CDayTimelineDlg::kIdMiddleText, ControlKind::Edit, "", 128, 102, 91, 12},
    {CDayTimelineDlg::kIdRightText, ControlKind::Edit, "", 237, 102, 91, 12},
    {CDayTimelineDlg::kIdHoverNumber, ControlKind::Edit, "", 99, 99, 40, 14, kStyleHidden},
};
const DialogTemplate kTemplate{CDayTimelineDlg::kTemplateId, "", 337, 118, "MS Sans Serif", 8, kControls};

constexpr int kTimeTexts[] = {CDayTimelineDlg::kIdLeftText, CDayTimelineDlg::kIdMiddleText,
                              CDayTimelineDlg::kIdRightText};

// The locale's short date and its time with seconds (a timeline is read to
// the second), without the time zone, which a recorder's clock does not have.
QString TimeFormat(const QLocale& locale) {
    const QString full = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (QChar c : full) {
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') format += c;
    }
    return format.simplified();
}

}  // namespace

CDayTimelineDlg::CDayTimelineDlg(QWidget* parent)
    : CTemplateDialog(kTemplate, parent),
      m_playback(kHistoryPlayerName),
      m_thumbnails([this](int32_t second) { return LocateThumbnail(second); },
                   [this](const ThumbnailSource& source, const std::atomic<bool>& cancelled) {
                       return m_fetcher.Fetch(source, cancelled);
                   }) {
    setWindowFlags(Qt::Widget);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    m_upper = new CTimelineBar(this);
    SetControlIdentity(m_upper, kIdUpperBar, QStringLiteral("STATIC"));
    m_upper->setGeometry(DialogUnitsToPixels(QRect(7, 2, 323, 36), BaseUnits()));
    m_lower = new CTimelineBar(this);
    SetControlIdentity(m_lower, kIdLowerBar, QStringLiteral("STATIC"));
    m_lower->setGeometry(DialogUnitsToPixels(QRect(7, 42, 323, 36), BaseUnits()));
    m_slider = new CRangeSlider(this);
    SetControlIdentity(m_slider, kIdRange, QStringLiteral("MFCRangeSlider"));
    m_slider->setGeometry(DialogUnitsToPixels(QRect(7, 82, 323, 16), BaseUnits()));
    for (int id : kTimeTexts) {
        if (auto* edit = ControlAs<QLineEdit>(id)) {
            edit->setAlignment(Qt::AlignCenter);
            edit->setReadOnly(true);
            // Texts to read, not to type into: the focus stays with the slider.
            edit->setFocusPolicy(Qt::NoFocus);
        }
    }

    m_rangeChanged = RangeChangedMessage();
    m_stepNextAvi = platform::RegisterWindowMessage(kStepNextAviMessage);
    m_window.Create("ArchiveViewer Day Timeline", [this](uint32_t msg, platform::WParam w, platform::LParam,
                                                         platform::LResult& result) {
        if (msg == m_rangeChanged && m_rangeChanged) {
            OnRangeChanged();
            result = 0;
            return true;
        }
        if (msg == m_stepNextAvi && m_stepNextAvi) {
            // The player reports the end from inside its own frame step and
            // holds its request regions meanwhile: the next file is handed to
            // it once that step has returned, not from within it.
            const uint32_t fileKey = uint32_t(w);
            QMetaObject::invokeMethod(this, [this, fileKey] { m_playback.OnStepNextAvi(fileKey); }, Qt::QueuedConnection);
            result = 0;
            return true;
        }
        return false;
    });
    m_slider->SetNotifyTarget(m_window.Handle(), kIdRange);
    m_playback.SetOwner(m_window.Handle());

    m_update.setInterval(kUpdatePeriodMs);
    connect(&m_update, &QTimer::timeout, this, [this] { UpdateTick(); });
    m_update.start();
}

CDayTimelineDlg::~CDayTimelineDlg() {
    m_update.stop();
    // Requests under way give up now rather than hold the workers' join.
    m_fetcher.Stop();
    delete m_popup;
    m_playback.CloseCurrent();
    m_window.Destroy();
}

void CDayTimelineDlg::SetSessions(uint32_t dayHandle) { m_dayHandle = dayHandle; }

void CDayTimelineDlg::SetDay(int year, int month, int day, std::span<const uint8_t> activity) {
    m_day = QDate(year, month, day);
    m_playback.SetDay(m_dayHandle, ViewedDay{uint16_t(year), uint16_t(month), uint16_t(day)});

    // Pictures and second indexes belong to the day they were fetched for.
    m_thumbnails.Reset();
    m_fetcher.Forget();
    if (m_popup) m_popup->hide();

    // The bars must not show the old copy while it is replaced.
    m_upper->SetData({});
    m_lower->SetData({});
    m_activity = CopyDayActivity(activity);
    // Deliberately not "no recording" past the recorder's bytes (a refused answer has none): users
    // read red under a recorded file as a lost recording. MarkGaps still marks what no session covers.
    std::fill(m_activity.begin() + std::ptrdiff_t(std::min(activity.size(), m_activity.size())), m_activity.end(),
              kNoActivityData);
    DayPayload* payload = m_dayHandle ? FindDayPayload(m_dayHandle) : nullptr;
    const std::vector<DaySession> sessions = payload ? DaySessions(*payload) : std::vector<DaySession>{};
    MarkGaps(m_activity, payload ? &sessions : nullptr, day);
    m_upper->SetData(m_activity);
    m_lower->SetData(m_activity);

    // The previous day's markers mean nothing on this one.
    for (CTimelineBar* bar : {m_upper, m_lower}) {
        bar->SetPositionMarker(-1);
        bar->SetHoverMarker(-1);
        bar->ClearLeftClick();
    }
    m_upper->SetTickIntervals(3600, 1800);
    m_lower->SetTickIntervals(3600, -1);
    const double span = kDayTimelineSeconds;
    m_slider->SetMinMax(0, span);
    m_slider->SetRange(span / 2 - 1800, span / 2 + 1800, kMinimumGap);
    OnRangeChanged();
}

void CDayTimelineDlg::OnRangeChanged() {
    UpdateTimeTexts();
    double min = 0, max = 0, left = 0, right = 0;
    m_slider->GetMinMax(min, max);
    m_slider->GetRange(left, right);
    m_lower->SetShownRange(int32_t(min), int32_t(max));
    m_lower->SetSelectionFrame(true, int32_t(left), int32_t(right));
    m_upper->SetShownRange(int32_t(left), int32_t(right));
    m_lower->Refresh(true);
    m_upper->Refresh(true);
}

void CDayTimelineDlg::UpdateTick() {
    int32_t hover = m_lower->HoverSecond();
    if (hover == -1) hover = m_upper->HoverSecond();
    SetEditText(kIdHoverNumber, QString::number(hover));

    bool repaint = false, play = false;
    if (hover != m_lower->HoverMarker() || hover != m_upper->HoverMarker()) {
        m_lower->SetHoverMarker(hover);
        m_upper->SetHoverMarker(hover);
        repaint = true;
    }
    // The upper bar comes second, so it wins when both were clicked.
    for (CTimelineBar* bar : {m_lower, m_upper}) {
        if (!bar->LeftClicked()) continue;
        bar->ClearLeftClick();
        m_lower->SetPositionMarker(bar->LeftClickSecond());
        m_upper->SetPositionMarker(bar->LeftClickSecond());
        repaint = play = true;
    }
    UpdateTimeTexts();
    if (repaint) {
        m_lower->Refresh(false);
        m_upper->Refresh(false);
    }
    if (play) m_playback.PlayAtSecond(m_lower->PositionMarker());
    UpdateThumbnail();
}

// Deliberately more than the hover text: users expect a picture of the second under the pointer.
void CDayTimelineDlg::UpdateThumbnail() {
    // The popup belongs to the top-level window, which stays when the timeline is hidden.
    const int32_t second = isVisible() ? m_upper->HoverSecond() : -1;
    const std::shared_ptr<const Thumbnail> thumbnail = m_thumbnails.Update(second, TimelineThumbnails::Clock::now());
    if (!thumbnail) {
        if (m_popup && m_popup->isVisible()) m_popup->hide();
        return;
    }
    if (m_popup && m_popup->ShownSecond() == second) return;
    QWidget* top = window();
    if (!m_popup) m_popup = new CThumbnailPopup(top);
    if (m_popup->parentWidget() != top) m_popup->setParent(top);
    double left = 0, right = 0;
    m_slider->GetRange(left, right);
    const TimelineScale scale{int32_t(left), int32_t(right), m_upper->width()};
    const QPoint pointer = m_upper->mapTo(top, QPoint(scale.X(second), m_upper->height() / 2));
    m_popup->ShowAt(thumbnail, TimeText(second), pointer);
}

// A second marked as not recorded has no picture to fetch.
std::optional<ThumbnailSource> CDayTimelineDlg::LocateThumbnail(int32_t second) const {
    if (second < 0 || size_t(second) >= m_activity.size() || m_activity[size_t(second)] == kNoRecording)
        return std::nullopt;
    return m_playback.ThumbnailSourceAt(second);
}

void CDayTimelineDlg::UpdateTimeTexts() {
    TextInputs in{m_day};
    m_slider->GetRange(in.left, in.right);
    for (int32_t s : {m_lower->HoverSecond(), m_upper->HoverSecond(), m_lower->PositionMarker()}) {
        if (s != -1) {
            in.shown = s;
            break;
        }
    }
    // Formatting for the locale is the dearest part of a tick: only when something moved.
    if (in == m_textInputs) return;
    m_textInputs = in;
    SetEditText(kIdLeftText, TimeText(in.left));
    SetEditText(kIdRightText, TimeText(in.right));
    SetEditText(kIdMiddleText, in.shown == -1 ? QString() : TimeText(in.shown));
}

QString CDayTimelineDlg::TimeText(double second) const {
    if (!m_day.isValid()) return QString();
    const QLocale locale;
    const QTime time = QTime(0, 0).addSecs(int(std::lround(std::clamp(second, 0.0, 86399.0))));
    return locale.toString(m_day, QLocale::ShortFormat) + u' ' + locale.toString(time, TimeFormat(locale));
}

// Only a changed text is set, so the edits do not repaint every 5 ms.
void CDayTimelineDlg::SetEditText(int id, const QString& text) {
    auto* edit = ControlAs<QLineEdit>(id);
    if (edit && edit->text() != text) edit->setText(text);
}

void CDayTimelineDlg::hideEvent(QHideEvent* event) {
    CTemplateDialog::hideEvent(event);
    if (m_popup) m_popup->hide();
}

void CDayTimelineDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    const int cw = width();
    m_slider->setGeometry(0, m_slider->y(), cw, m_slider->height());
    for (CTimelineBar* bar : {m_upper, m_lower})
        bar->setGeometry(kBarMargin, bar->y(), std::max(cw - 2 * kBarMargin, 0), bar->height());
    auto place = [this](int id, int x) {
        if (QWidget* edit = Control(id)) edit->move(x, edit->y());
    };
    if (QWidget* right = Control(kIdRightText)) place(kIdRightText, cw - right->width());
    if (QWidget* middle = Control(kIdMiddleText)) place(kIdMiddleText, cw / 2 - middle->width() / 2);
    place(kIdLeftText, 0);
}

std::unique_ptr<CExportDlg> CDayTimelineDlg::MakeExportDialog() {
    DayPayload* payload = m_dayHandle && m_day.isValid() ? FindDayPayload(m_dayHandle) : nullptr;
    if (!payload) return nullptr;
    double left = 0, right = 0;
    m_slider->GetRange(left, right);
    const platform::SystemTime midnight{uint16_t(m_day.year()), uint16_t(m_day.month()), 0, uint16_t(m_day.day()),
                                        0, 0, 0, 0};
    const int64_t dayMs = RecorderTimeMs(midnight);
    const int64_t fromMs = dayMs + int64_t(std::floor(left)) * 1000;
    const int64_t toMs = dayMs + int64_t(std::ceil(right)) * 1000 - 1;
    // Only the files the interval touches are asked about.
    CRawRecorderChannel channel(FilterServerURL(), SessionId());
    std::vector<ExportCandidate> candidates;
    for (const SessionPayload& session : DaySessionCopies(*payload)) {
        if (RecorderTimeMs(session.stop) <= fromMs || RecorderTimeMs(session.start) > toMs) continue;
        ExportPiece file;
        file.fileName = session.fileName;
        file.sourceId = session.sourceId;
        file.start = session.start;
        file.stop = session.stop;
        ExportCandidate candidate;
        if (!FetchCandidate(channel, file, candidate)) continue;
        candidate.sourceName = session.sourceName;
        candidates.push_back(std::move(candidate));
    }
    std::sort(candidates.begin(), candidates.end(), [](const ExportCandidate& a, const ExportCandidate& b) {
        return RecorderTimeMs(a.file.start) < RecorderTimeMs(b.file.start);
    });
    ExportPlan plan;
    plan.SetCandidates(std::move(candidates));
    plan.SetRange(fromMs, toMs);
    return std::make_unique<CExportDlg>(std::move(plan), DefaultExportFolder(), this);
}

void CDayTimelineDlg::ExportSelection() {
    if (m_export && m_export->Running()) {
        m_export->raise();
        return;
    }
    std::unique_ptr<CExportDlg> dialog = MakeExportDialog();
    if (dialog && dialog->exec() == QDialog::Accepted) m_export = StartExport(*dialog, window());
}

void CDayTimelineDlg::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint at = event->pos();
    if (!m_upper->geometry().contains(at) && !m_lower->geometry().contains(at) && !m_slider->geometry().contains(at))
        return;
    QMenu menu(this);
    QAction* action = menu.addAction(QStringLiteral("Export the selected range..."), this, [this] { ExportSelection(); });
    action->setEnabled(m_dayHandle != 0 && m_day.isValid());
    menu.exec(event->globalPos());
}

}  // namespace corvanta
