#include "playback/ui/CPlayerDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>

#include "archive/ArchiveRecords.h"
#include "framework/CFilterIcpClient.h"
#include "framework/FilterCodes.h"
#include "playback/DayTimelinePlayback.h"
#include "playback/PlayerLayout.h"
#include "playback/PlayerRecords.h"
#include "playback/Snapshot.h"
#include "playback/SnapshotFolder.h"
#include "playback/export/ExportPlan.h"
#include "playback/ui/CExportDlg.h"
#include "playback/ui/CExportProgressDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CVideoView.h"
#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "remote/RawRecorderChannel.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"
#include "services/ui/ControlIdentity.h"

namespace corvanta {

using namespace ui;

namespace {

// The video (kIdVideo) and the position slider (kIdPosition) are made by the
// player itself: the video at 18,4 (210 x 160), the slider at 0,170 (233 x 14).
const DialogTemplate kTemplate{CPlayerDlg::kTemplateId, "", 262, 249, "MS Sans Serif", 8, {}};

constexpr int32_t kClosedLayoutWidth = 320;
constexpr int32_t kClosedLayoutHeight = 240;

}  // namespace

CPlayerDlg::CPlayerDlg(std::string filterName, QWidget* parent)
    : CTemplateDialog(kTemplate, parent), m_filterName(std::move(filterName)) {
    setWindowFlags(Qt::Widget);
    // The template's size is where it starts; its owner sizes it from then on.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setFocusPolicy(Qt::StrongFocus);

    m_view = new CVideoView(this);
    SetControlIdentity(m_view, kIdVideo, QStringLiteral("STATIC"));
    m_view->setGeometry(DialogUnitsToPixels(QRect(18, 4, 210, 160), BaseUnits()));
    m_slider = new CPositionSlider(this);
    SetControlIdentity(m_slider, kIdPosition, QStringLiteral("msctls_trackbar32"));
    m_slider->setGeometry(DialogUnitsToPixels(QRect(0, 170, 233, 14), BaseUnits()));
    m_slider->SetOnReleased([this](int position) { SeekTo(uint32_t(std::max(position, 0))); });
    m_time = new QLabel(this);
    SetControlIdentity(m_time, kIdFrameTime, QStringLiteral("STATIC"));
    m_time->setAlignment(Qt::AlignCenter);
    m_time->setFixedHeight(m_time->fontMetrics().height() + 4);
    m_panel = new CPlayerControlDlg(this);
    m_clock = std::make_unique<CPlaybackClock>(m_panel->State(), static_cast<IPlayerSurface&>(*this));

    m_stepNextAvi = platform::RegisterWindowMessage(kStepNextAviMessage);
    m_stepNextFrame = platform::RegisterWindowMessage(kStepNextFrameMessage);
    MakeShortcuts();
}

CPlayerDlg::~CPlayerDlg() {
    Shutdown();
    // Nothing of the filter may call back while the dialog is taken apart.
    CFilter::Close();
}

CFilterDescriptor CPlayerDlg::MakeDescriptor(const std::string& name) {
    return CFilterDescriptor{.name = name, .classCode = kFilterClassDialog, .typeCode = kFilterTypePlayback,
                             .ownThread = 0, .version = "1.0.0", .queryCapacity = 4096, .answerCapacity = 4096};
}

int CPlayerDlg::Create() {
    if (m_created) return 1;
    if (!Init(MakeDescriptor(m_filterName))) return 0;
    PublishInfo();
    Start(true);
    m_created = true;
    m_panel->SetTarget(m_filterName);
    m_panel->show();
    Queue().StartTimer(kJogTimer, kJogIdlePeriodMs);
    m_jogPeriod = kJogIdlePeriodMs;
    m_clock->ApplySpeed(m_panel->SpeedPosition());
    Layout();
    return 1;
}

void CPlayerDlg::Shutdown() {
    if (!m_created) return;
    m_created = false;
    Queue().StopTimer(kClockTimer);
    Queue().StopTimer(kJogTimer);
    Stop(true);
    m_holdTimer.Cancel();
    m_stream.Close();
    delete m_panel;
    m_panel = nullptr;
    m_clock.reset();
    Disconnect();
    CFilter::Close();
}

const PlaybackState& CPlayerDlg::State() const { return m_panel->State(); }
const CFrameImage& CPlayerDlg::Snapshot() const { return m_snapshot; }

int CPlayerDlg::OnIcp(IcpRecord* query, IcpRecord* answer) {
    answer->kind = kIcpCommandAnswer;
    answer->dataLength = 0;
    if (query->kind != kIcpCommand || !m_panel) return 0;
    switch (query->code) {
        case kPlayerOpen: OpenFile(query); break;
        case kPlayerClose: CloseFile(); break;
        case kPlayerNotice: ShowNotice(query); break;
        case kPlayerFileTime: SetFileTime(query); break;
        case kPlayerSpeed: m_clock->ApplySpeed(m_panel->SpeedPosition()); break;
        case kPlayerStepBack:
        case kPlayerStepForward: m_clock->ShowFrame(false); break;
        case kPlayerEndHandled: m_clock->EndHandled(); break;
        default: break;  // play and pause: the panel has set the state
    }
    return 0;
}

int CPlayerDlg::CB_Timer(uint32_t timer) {
    if (!m_panel) return 0;
    if (timer == kClockTimer) m_clock->ClockTick();
    if (timer == kJogTimer) m_clock->JogTick(m_panel->JogPosition());
    return 1;
}

void CPlayerDlg::OpenFile(const IcpRecord* query) {
    // The whole record must have come, and the name must end inside it.
    if (query->dataLength < sizeof(PlayerOpenBlock) || Descriptor().queryCapacity < sizeof(PlayerOpenBlock)) return;
    PlayerOpenBlock block;
    std::memcpy(&block, query->data, sizeof block);
    block.fileName[sizeof block.fileName - 1] = '\0';

    m_owner = platform::Hwnd(query->param1);
    m_fileKey = query->param2;
    const uint32_t width = block.info.width, height = block.info.height;
    // A frame the stream proxy cannot hold is never asked for: the picture stays empty.
    const bool fits = uint64_t(width) * height * 3 <= kFrameAnswerCapacity;
    m_view->SetFrameSize(fits ? width : 0, fits ? height : 0);
    if (!fits) m_view->SetNotice(QStringLiteral("The pictures of this recording are larger than the viewer can show."));
    m_view->SetOpen(true);
    m_holdTimer.Cancel();
    m_stream.Close();
    m_stream.Open(FrameSourceName(block.fileName).c_str());
    m_fileName = block.fileName;
    m_hasFileWindow = false;
    m_clock->Open(block.info.scale, block.info.rate, block.frameCount, block.firstFrame);
    m_frameTime.Open(block.info.scale, block.info.rate, block.frameCount);
    ShowFrameTime(m_panel->State().currentFrame);
    m_slider->setRange(0, int(std::min<uint32_t>(m_panel->State().frameCount - 1, INT32_MAX)));
    m_layoutWidth = int32_t(std::min<uint32_t>(width, INT32_MAX));
    m_layoutHeight = int32_t(std::min<uint32_t>(height, INT32_MAX));
    m_clock->ApplySpeed(m_panel->SpeedPosition());
    Layout();
    m_clock->ShowOpened();
}

void CPlayerDlg::CloseFile() {
    m_holdTimer.Cancel();
    m_stream.Close();
    m_clock->Close();
    m_view->SetOpen(false);
    m_frameTime.Close();
    m_fileName.clear();
    m_hasFileWindow = false;
    m_time->clear();
    m_slider->setRange(0, 1);
    m_view->SetFrame(nullptr);
    m_slider->RequestPosition(0);
    m_layoutWidth = kClosedLayoutWidth;
    m_layoutHeight = kClosedLayoutHeight;
}

void CPlayerDlg::ShowNotice(const IcpRecord* query) {
    const uint32_t length = std::min(query->dataLength, Descriptor().queryCapacity);
    const auto* text = reinterpret_cast<const char*>(query->data);
    CloseFile();
    m_view->SetNotice(QString::fromUtf8(text, qsizetype(strnlen(text, length))));
}

// The index is asked once per file, on the GUI thread like the open itself
// (as the day timeline asks it); every frame after that is only arithmetic.
void CPlayerDlg::SetFileTime(const IcpRecord* query) {
    if (!m_view->IsOpen() || query->dataLength < sizeof(TimeQuery) || Descriptor().queryCapacity < sizeof(TimeQuery))
        return;
    TimeQuery window;
    std::memcpy(&window, query->data, sizeof window);
    window.sourceId[sizeof window.sourceId - 1] = '\0';
    std::vector<uint32_t> table;
    CFilterIcpClient archive;
    if (archive.Open(kArchiveQueryFilterName) && archive.SendCommand(kArchiveSecondIndex, 0, 0, &window, sizeof window))
        table = ReadSecondIndex(*archive.Answer(), archive.AnswerCapacity()).value_or(std::vector<uint32_t>{});
    m_frameTime.SetIndex(window.from, table);
    m_fileWindow = window;
    m_hasFileWindow = true;
    ShowFrameTime(m_panel->State().currentFrame);
}

void CPlayerDlg::ShowFrameTime(uint32_t frame) { m_time->setText(QString::fromStdString(m_frameTime.Text(frame))); }

bool CPlayerDlg::StreamBound() { return m_stream.IsOpen() != 0; }

bool CPlayerDlg::FetchFrame(uint32_t frame, uint32_t* holdMs) {
    // The frame goes from the answer region straight into the view's
    // picture, which is also what a snapshot saves: one copy of 5.8 MB a
    // frame at 1600x1200 instead of three.
    const uint32_t size = m_view->Picture().Size();
    if (size == 0) return false;
    bool shown = false;
    const int sent = m_stream.SendCommandReading(kFrameSourceGetFrame, frame, 0,
                                                 [&](const IcpRecord& answer, uint32_t capacity) {
                                                     // A frame of another size than the file announced (the
                                                     // recorder changed it mid-file) is not shown.
                                                     if (answer.dataLength != size || size > capacity)
                                                         return;
                                                     m_view->SetFrame(answer.data);
                                                     *holdMs = answer.param3;
                                                     shown = true;
                                                 });
    if (!sent || !shown) return false;
    ++m_framesShown;
    platform::SendMessage(m_owner, m_stepNextFrame, m_fileKey, platform::LParam(frame));
    return true;
}

void CPlayerDlg::ReportEnd() { platform::SendMessage(m_owner, m_stepNextAvi, m_fileKey, 0); }

void CPlayerDlg::MoveSlider(uint32_t frame) {
    m_slider->RequestPosition(int(std::min<uint32_t>(frame, INT32_MAX)));
    ShowFrameTime(frame);
}

void CPlayerDlg::SetTimerPeriod(uint32_t timer, uint32_t periodMs) {
    (timer == kClockTimer ? m_clockPeriod : m_jogPeriod) = periodMs;
    Queue().StartTimer(timer, periodMs);
}

void CPlayerDlg::StartFrameHold(uint32_t delayMs, std::atomic<uint32_t>& hold) { m_holdTimer.Start(delayMs, hold, 0); }

void CPlayerDlg::SettleFrameHold() { m_holdTimer.FireIfDue(); }

uint32_t CPlayerDlg::Now() { return platform::TickCount(); }

void CPlayerDlg::Layout() {
    if (!m_view || !m_panel) return;
    PlayerLayoutInput in;
    in.clientWidth = width();
    in.clientHeight = height();
    in.sliderHeight = m_slider->height();
    in.timeHeight = m_time->height();
    in.panelWidth = m_panel->width();
    in.panelHeight = m_panel->height();
    in.frameWidth = m_layoutWidth;
    in.frameHeight = m_layoutHeight;
    in.fit = m_fit;
    const PlayerLayout out = ComputePlayerLayout(in);
    auto place = [](QWidget* w, const LayoutRect& r) { w->setGeometry(r.left, r.top, r.width, r.height); };
    place(m_view, out.video);
    place(m_slider, out.slider);
    place(m_time, out.time);
    place(m_panel, out.panel);
}

void CPlayerDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    Layout();
}

bool CPlayerDlg::InsideVideo(QPoint at) const { return m_view && m_view->geometry().contains(at); }

void CPlayerDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && InsideVideo(at)) {
        m_fit = !m_fit;
        m_view->update();
        Layout();
    } else if (event->button() == Qt::RightButton && InsideVideo(at) && m_view->IsOpen() && m_view->HasFrame()) {
        SaveSnapshotAs();
    }
    CTemplateDialog::mouseDoubleClickEvent(event);
}

void CPlayerDlg::SaveSnapshotAs() {
    // Playing, a hand-over or a seek go on while the dialog waits.
    if (!m_snapshot.CopyFrom(m_view->Picture())) return;
    // Deliberately not the current folder: users expect pictures in their pictures folder, then where they put the last.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const std::string start = SnapshotFolder::Start(pictures.toStdString(), QDir::homePath().toStdString());
    QFileDialog dialog(this, QString(), QString::fromStdString(start), QStringLiteral("Image Files (*.jpg)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.selectFile(QString::fromStdString(SnapshotFileName()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().front();
    // Only into a folder that exists.
    const QDir folder = QFileInfo(path).absoluteDir();
    if (!folder.exists()) return;
    if (SaveSnapshot(m_snapshot, path.toStdString())) SnapshotFolder::Remember(folder.absolutePath().toStdString());
}

std::unique_ptr<CExportDlg> CPlayerDlg::MakeExportDialog() {
    if (!m_view->IsOpen() || !m_hasFileWindow || m_fileName.empty()) return nullptr;
    ExportPiece file;
    file.fileName = m_fileName;
    file.sourceId = m_fileWindow.sourceId;
    file.start = m_fileWindow.from;
    file.stop = m_fileWindow.to;
    // The export reads on a channel of its own, never through this player's stream.
    CRawRecorderChannel channel(FilterServerURL(), SessionId());
    ExportCandidate candidate;
    if (!FetchCandidate(channel, file, candidate)) return nullptr;
    ExportPlan plan;
    plan.SetCandidates({std::move(candidate)});
    plan.SetRange(plan.FirstFrameMs(), plan.LastFrameMs());
    return std::make_unique<CExportDlg>(std::move(plan), DefaultExportFolder(), this);
}

void CPlayerDlg::ExportFile() {
    if (m_export && m_export->Running()) {
        m_export->raise();
        return;
    }
    std::unique_ptr<CExportDlg> dialog = MakeExportDialog();
    if (dialog && dialog->exec() == QDialog::Accepted) m_export = StartExport(*dialog, window());
}

void CPlayerDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!InsideVideo(event->pos())) return;
    QMenu menu(this);
    QAction* exportAction = menu.addAction(QStringLiteral("Export..."), this, [this] { ExportFile(); });
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    exportAction->setEnabled(m_view->IsOpen() && m_hasFileWindow);
    menu.exec(event->globalPos());
}

void CPlayerDlg::SeekTo(uint32_t frame) {
    if (m_clock) m_clock->Seek(frame);
}

void CPlayerDlg::MakeShortcuts() {
    auto add = [this](QKeySequence key, auto action) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    add(QKeySequence(Qt::Key_Space), [this] {
        if (!m_panel) return;
        if (m_panel->State().playing || m_panel->State().paused) m_panel->Pause();
        else m_panel->Play();
    });
    add(QKeySequence(Qt::Key_Left), [this] { if (m_panel) m_panel->StepBack(); });
    add(QKeySequence(Qt::Key_Right), [this] { if (m_panel) m_panel->StepForward(); });
    add(QKeySequence(Qt::Key_Up), [this] { if (m_panel) m_panel->ChangeSpeed(+1); });
    add(QKeySequence(Qt::Key_Down), [this] { if (m_panel) m_panel->ChangeSpeed(-1); });
    add(QKeySequence(Qt::Key_Home), [this] { if (m_panel) SeekTo(0); });
    add(QKeySequence(Qt::Key_End), [this] { if (m_panel) SeekTo(m_panel->State().frameCount - 1); });
    add(QKeySequence(Qt::CTRL | Qt::Key_E), [this] { if (m_panel) ExportFile(); });
}

}  // namespace corvanta
