#pragma once
// The export dialog: start and end of the range, the output file, the
// format, and what that will write. Export stays disabled, with the reason
// beside it, while the range holds no recording; an existing file is only
// replaced after asking.

#include <QDialog>

#include <string>

#include "playback/export/ExportPlan.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvanta {

class CExportDlg : public QDialog {
public:
    // `plan` holds the files and the range to start with; `folder` is where
    // the file goes unless the user chooses another.
    CExportDlg(ExportPlan plan, const std::string& folder, QWidget* parent = nullptr);

    const ExportPlan& Plan() const { return m_plan; }
    std::string OutputPath() const;

    QDateTimeEdit* FromEdit() const { return m_from; }
    QDateTimeEdit* ToEdit() const { return m_to; }
    QLineEdit* PathEdit() const { return m_path; }
    QComboBox* FormatBox() const { return m_format; }
    QLabel* SummaryLabel() const { return m_summary; }
    QPushButton* ExportButton() const { return m_export; }

    // Accepts a range with recordings into a folder that exists; an existing
    // file only when the user agrees to replace it.
    void accept() override;

    // Whether replacing an existing file is asked (tests answer it themselves).
    void SetAskBeforeOverwrite(bool ask) { m_askOverwrite = ask; }

private:
    void Update();
    void Browse();

    ExportPlan m_plan;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QLineEdit* m_path = nullptr;
    QComboBox* m_format = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_export = nullptr;
    std::string m_autoName;  // the default name shown; replaced while the user has not changed it
    bool m_askOverwrite = true;
};

}  // namespace corvanta
