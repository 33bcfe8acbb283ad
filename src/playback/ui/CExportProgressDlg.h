#pragma once
// The progress of one export, running on a worker thread so that playback
// goes on: frames done, time left, Cancel. At the end a message says what
// was written, or what went wrong. Not modal.

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "playback/export/ExportJob.h"

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace corvanta {

class CExportDlg;

// The folder an export dialog starts in: the last one used, else the
// user's videos folder, else the home folder.
std::string DefaultExportFolder();

// Starts the export an accepted dialog describes, on the recorder the
// process is logged in to, remembers its folder and shows its progress.
// The progress dialog belongs to `parent` and deletes itself once closed
// after the end.
class CExportProgressDlg* StartExport(const CExportDlg& dialog, QWidget* parent);

class CExportProgressDlg : public QDialog {
public:
    static constexpr int kPollMs = 100;

    CExportProgressDlg(ExportJob job, QWidget* parent = nullptr);
    // Cancels a running export and waits for it.
    ~CExportProgressDlg() override;

    // Starts the worker and shows the dialog.
    void Start();
    bool Running() const { return m_worker.joinable() && !m_finished.load(); }
    bool Finished() const { return m_done; }
    const ExportResult& Result() const { return m_result; }

    // Cancels; `keepWritten` finishes what was written as a playable file.
    void Cancel(bool keepWritten);

    // The message shown at the end (null before), and a callback after it.
    QMessageBox* ResultBox() const { return m_resultBox; }
    void SetOnFinished(std::function<void(const ExportResult&)> callback) { m_onFinished = std::move(callback); }
    // Whether questions are asked with message boxes (tests answer them themselves).
    void SetAskQuestions(bool ask) { m_ask = ask; }

    QLabel* StatusLabel() const { return m_status; }
    QPushButton* CancelButton() const { return m_cancelButton; }

    // Number of exports running in this process, for the windows that ask before closing.
    static int RunningCount();
    // Before closing the window or logging off: while exports run, asks once
    // whether to cancel them all. True when none runs any more.
    static bool AskToCancelAll(QWidget* parent);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Poll();
    void OnCancelClicked();
    void ShowResult();

    ExportJob m_job;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_keep{false};
    std::atomic<bool> m_finished{false};
    std::atomic<uint64_t> m_framesDone{0};
    std::atomic<uint64_t> m_framesTotal{0};
    std::atomic<int64_t> m_msLeft{-1};
    ExportResult m_result;  // written by the worker before m_finished, read after
    bool m_done = false;
    bool m_counted = false;  // counted in RunningCount()
    bool m_ask = true;
    QTimer m_poll;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QMessageBox* m_resultBox = nullptr;
    std::function<void(const ExportResult&)> m_onFinished;
};

}  // namespace corvanta
