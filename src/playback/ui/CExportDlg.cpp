#include "playback/ui/CExportDlg.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>

namespace corvanta {

namespace {

// Recorder times are civil times without a zone: shown as they are.
QDateTime ToQt(int64_t ms) { return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()); }
int64_t FromQt(const QDateTime& t) { return t.toMSecsSinceEpoch(); }

QDateTimeEdit* MakeTimeEdit(QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return edit;
}

}  // namespace

CExportDlg::CExportDlg(ExportPlan plan, const std::string& folder, QWidget* parent)
    : QDialog(parent), m_plan(std::move(plan)) {
    setWindowTitle(QStringLiteral("Export"));
    setMinimumWidth(520);
    m_from = MakeTimeEdit(this);
    m_to = MakeTimeEdit(this);
    // Whole seconds: the range starts at the first frame's second and takes in the last frame's.
    m_from->setDateTime(ToQt(m_plan.FromMs() / 1000 * 1000));
    m_to->setDateTime(ToQt(m_plan.ToMs() / 1000 * 1000));
    m_format = new QComboBox(this);
    m_format->addItem(QStringLiteral("MJPEG in AVI (pictures as recorded)"));
    m_format->addItem(QStringLiteral("H.264 in MP4 (small file)"));
    m_format->setCurrentIndex(m_plan.Format() == ExportFormat::H264Mp4 ? 1 : 0);
    m_path = new QLineEdit(this);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start:"), m_from);
    form->addRow(QStringLiteral("End:"), m_to);
    form->addRow(QStringLiteral("Format:"), m_format);
    form->addRow(QStringLiteral("File:"), pathRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_export = buttons->addButton(QStringLiteral("Export"), QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);

    m_autoName = m_plan.DefaultFileName();
    m_path->setText(QDir(QString::fromStdString(folder)).filePath(QString::fromStdString(m_autoName)));

    connect(m_from, &QDateTimeEdit::dateTimeChanged, this, [this] { Update(); });
    connect(m_to, &QDateTimeEdit::dateTimeChanged, this, [this] { Update(); });
    connect(m_format, &QComboBox::currentIndexChanged, this, [this] { Update(); });
    connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Update();
}

std::string CExportDlg::OutputPath() const { return m_path->text().toStdString(); }

void CExportDlg::Update() {
    // The end editor shows whole seconds; the second shown is taken in whole.
    m_plan.SetRange(FromQt(m_from->dateTime()), FromQt(m_to->dateTime()) + 999);
    m_plan.SetFormat(m_format->currentIndex() == 1 ? ExportFormat::H264Mp4 : ExportFormat::MjpegAvi);
    const std::string reason = m_plan.Reason();
    m_export->setEnabled(reason.empty());
    m_export->setToolTip(QString::fromStdString(reason));
    m_summary->setText(QString::fromStdString(reason.empty() ? m_plan.Summary() : reason));
    // The name follows the range and format until the user writes one.
    const QFileInfo path(m_path->text());
    if (path.fileName().toStdString() == m_autoName) {
        m_autoName = m_plan.DefaultFileName();
        m_path->setText(path.dir().filePath(QString::fromStdString(m_autoName)));
    }
}

void CExportDlg::Browse() {
    const bool h264 = m_plan.Format() == ExportFormat::H264Mp4;
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export to"), m_path->text(),
        h264 ? QStringLiteral("MP4 video (*.mp4)") : QStringLiteral("AVI video (*.avi)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty()) m_path->setText(chosen);
}

void CExportDlg::accept() {
    if (!m_plan.Reason().empty()) return;
    const QFileInfo path(m_path->text());
    if (path.fileName().isEmpty() || !path.absoluteDir().exists()) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The folder %1 does not exist.").arg(path.absolutePath()));
        return;
    }
    if (m_askOverwrite && path.exists() &&
        QMessageBox::question(this, windowTitle(),
                              QStringLiteral("%1 exists already. Replace it?").arg(path.fileName())) != QMessageBox::Yes)
        return;
    QDialog::accept();
}

}  // namespace corvanta
