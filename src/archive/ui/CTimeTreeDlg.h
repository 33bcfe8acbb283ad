#pragma once
// The left-hand "By time" pane: the files one source recorded between two
// dates and times, as a flat list. The source is chosen under "AVI
// Session:", the interval with two date and two time pickers; "List" (or the
// toolbar's "Refresh" while this tab is shown) searches.

#include <QDateTime>

#include "archive/ui/CArchiveTreeBase.h"

class QComboBox;
class QDateEdit;
class QTimeEdit;
class QPushButton;

namespace corvanta {

class CTimeTreeDlg : public CArchiveTreeBase {
public:
    static constexpr int kTemplateId = 152;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    static constexpr int kIdFromDate = 1018;
    static constexpr int kIdFromTime = 1019;
    static constexpr int kIdToDate = 1020;
    static constexpr int kIdToTime = 1021;
    static constexpr int kIdSource = 1022;
    static constexpr int kIdPanel = 1023;
    static constexpr int kIdList = 1024;
    static constexpr int kIdSessionLabel = 1179;
    static constexpr int kIdFromLabel = 1180;
    static constexpr int kIdToLabel = 1181;
    static constexpr int kIdEmptyLabel = 1182;  // beside "List", never written

    explicit CTimeTreeDlg(QWidget* parent = nullptr);
    ~CTimeTreeDlg() override;

    // Lists the sessions of the chosen source in the chosen interval, sent
    // as it stands even when it ends before it starts.
    void Search();
    // Stops what plays and empties the list.
    void Clear();

    QComboBox* Sources() const { return m_sources; }
    void SetInterval(const QDateTime& from, const QDateTime& to);
    QWidget* Panel() const { return m_panel; }

protected:
    bool OnInitDialog() override;
    void OnExpand(QTreeWidgetItem* item) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildPanel();
    void LoadSources();

    QWidget* m_panel;
    QComboBox* m_sources;
    QDateEdit* m_fromDate;
    QTimeEdit* m_fromTime;
    QDateEdit* m_toDate;
    QTimeEdit* m_toTime;
    QPushButton* m_list;
};

}  // namespace corvanta
