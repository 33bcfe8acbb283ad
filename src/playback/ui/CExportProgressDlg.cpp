#include "playback/ui/CExportProgressDlg.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include <QDir>
#include <QStandardPaths>

#include "playback/ExportFolder.h"
#include "playback/export/CVideoExporter.h"
#include "playback/ui/CExportDlg.h"
#include "remote/RemoteSession.h"

namespace corvanta {

namespace {

std::atomic<int> g_running{0};
// The dialogs whose export runs; touched on the user-interface thread only.
std::vector<CExportProgressDlg*>& RunningDialogs() {
    static std::vector<CExportProgressDlg*> dialogs;
    return dialogs;
}
void Forget(CExportProgressDlg* dialog) {
    auto& dialogs = RunningDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

QString TimeLeft(int64_t ms) {
    if (ms < 0) return QStringLiteral("estimating the time left");
    const int64_t s = (ms + 999) / 1000;
    return s >= 60 ? QStringLiteral("%1 min %2 s left").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'))
                   : QStringLiteral("%1 s left").arg(s);
}

}  // namespace

std::string DefaultExportFolder() {
    // Deliberately the videos folder, not the current one: users look for exported clips there.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return ExportFolder::Start(videos.toStdString(), QDir::homePath().toStdString());
}

CExportProgressDlg* StartExport(const CExportDlg& dialog, QWidget* parent) {
    const std::string path = dialog.OutputPath();
    ExportFolder::Remember(QFileInfo(QString::fromStdString(path)).absolutePath().toStdString());
    auto* progress = new CExportProgressDlg(dialog.Plan().Job(FilterServerURL(), SessionId(), path), parent);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->Start();
    return progress;
}

int CExportProgressDlg::RunningCount() { return g_running.load(); }

bool CExportProgressDlg::AskToCancelAll(QWidget* parent) {
    const std::vector<CExportProgressDlg*> running = RunningDialogs();
    if (running.empty()) return true;
    const bool ask = std::all_of(running.begin(), running.end(), [](auto* d) { return d->m_ask; });
    if (ask && QMessageBox::question(parent, QStringLiteral("Export"),
                                     QStringLiteral("An export is running. Cancel it?")) != QMessageBox::Yes)
        return false;
    for (CExportProgressDlg* dialog : running) dialog->Cancel(false);
    return true;
}

CExportProgressDlg::CExportProgressDlg(ExportJob job, QWidget* parent) : QDialog(parent), m_job(std::move(job)) {
    setWindowTitle(QStringLiteral("Exporting %1").arg(QFileInfo(QString::fromStdString(m_job.outputPath)).fileName()));
    setModal(false);
    m_status = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { OnCancelClicked(); });
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
    m_framesTotal = CVideoExporter::TotalFrames(m_job);
    Poll();
}

CExportProgressDlg::~CExportProgressDlg() {
    m_cancel = true;
    if (m_worker.joinable()) m_worker.join();
    if (m_counted) g_running--;
    Forget(this);
}

void CExportProgressDlg::Start() {
    if (m_worker.joinable() || m_done) return;
    g_running++;
    m_counted = true;
    RunningDialogs().push_back(this);
    m_worker = std::thread([this] {
        CVideoExporter exporter;
        m_result = exporter.Run(
            m_job,
            [this](const ExportProgress& p) {
                m_framesDone = p.framesDone;
                m_framesTotal = p.framesTotal;
                m_msLeft = p.msLeft;
            },
            m_cancel, &m_keep);
        m_finished = true;
    });
    m_poll.start();
    show();
}

void CExportProgressDlg::Poll() {
    const uint64_t done = m_framesDone, total = m_framesTotal;
    m_status->setText(QStringLiteral("%1 of %2 frames, %3").arg(done).arg(total).arg(TimeLeft(m_msLeft)));
    m_bar->setValue(total ? int(done * 1000 / total) : 0);
    if (m_finished && !m_done) {
        m_worker.join();
        m_done = true;
        m_counted = false;
        g_running--;
        Forget(this);
        m_poll.stop();
        ShowResult();
    }
}

void CExportProgressDlg::ShowResult() {
    const ExportResult& r = m_result;
    QString text;
    if (r.ok) {
        text = QStringLiteral("%1 frames written to %2.").arg(r.framesWritten).arg(QString::fromStdString(r.writtenPath));
    } else if (r.cancelled) {
        text = r.writtenPath.empty() ? QStringLiteral("The export was cancelled; no file was kept.")
                                     : QStringLiteral("The export was cancelled; %1 frames were kept in %2.")
                                           .arg(r.framesWritten)
                                           .arg(QString::fromStdString(r.writtenPath));
    } else {
        text = QString::fromStdString(r.error) +
               (r.writtenPath.empty() ? QStringLiteral(" No file was kept.")
                                      : QStringLiteral(" %1 frames were kept in %2.")
                                            .arg(r.framesWritten)
                                            .arg(QString::fromStdString(r.writtenPath)));
    }
    if (r.framesSkipped)
        text += QStringLiteral(" %1 frames did not decode and were %2.")
                    .arg(r.framesSkipped)
                    .arg(m_job.format == ExportFormat::H264Mp4 ? QStringLiteral("replaced by the previous picture")
                                                               : QStringLiteral("left out"));
    close();
    m_resultBox = new QMessageBox(r.ok ? QMessageBox::Information : QMessageBox::Warning, QStringLiteral("Export"),
                                  text, QMessageBox::Ok, parentWidget());
    m_resultBox->setAttribute(Qt::WA_DeleteOnClose);
    m_resultBox->open();
    if (m_onFinished) m_onFinished(r);
}

void CExportProgressDlg::Cancel(bool keepWritten) {
    m_keep = keepWritten;
    m_cancel = true;
}

void CExportProgressDlg::OnCancelClicked() {
    if (!Running()) return;
    if (!m_ask) {
        Cancel(false);
        return;
    }
    const auto answer = QMessageBox::question(
        this, windowTitle(), QStringLiteral("Stop the export? Keep the frames written so far as a playable file?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
    if (answer == QMessageBox::Cancel) return;
    Cancel(answer == QMessageBox::Yes);
}

void CExportProgressDlg::closeEvent(QCloseEvent* event) {
    if (Running()) {
        event->ignore();
        OnCancelClicked();
        return;
    }
    QDialog::closeEvent(event);
}

void CExportProgressDlg::reject() {
    if (Running()) {
        OnCancelClicked();
        return;
    }
    QDialog::reject();
}

}  // namespace corvanta
