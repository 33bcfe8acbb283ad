#include "archive/ui/CTimeTreeDlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QTreeWidget>

#include "archive/ArchiveQueries.h"
#include "archive/ui/CodePageText.h"
#include "framework/EventReport.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/TranslateDialog.h"

namespace corvanta {

namespace {

const ui::DialogTemplate kTimeTreeTemplate{CTimeTreeDlg::kTemplateId, "", 140, 250, "MS Sans Serif", 8, {}};
constexpr char kTranslationSection[] = "ArchiveViewer TimeTree Dialog";
constexpr char kDateFormat[] = "yyyy/MM/dd";
constexpr int kPanelHeight = 122;
// A source's id and name as the recorder's bytes, kept beside the decoded name.
constexpr int kSourceIdRole = Qt::UserRole;
constexpr int kSourceNameRole = Qt::UserRole + 1;

std::string Bytes(const QComboBox* sources, int role) {
    return sources->currentData(role).toByteArray().toStdString();
}

SystemTime ToSystemTime(const QDate& date, const QTime& time) {
    SystemTime t{};
    t.year = uint16_t(date.year());
    t.month = uint16_t(date.month());
    t.day = uint16_t(date.day());
    t.hour = uint16_t(time.hour());
    t.minute = uint16_t(time.minute());
    t.second = uint16_t(time.second());
    return t;
}

template <typename T>
T* Make(QWidget* parent, int id, const char* windowClass) {
    auto* w = new T(parent);
    ui::SetControlIdentity(w, id, windowClass);
    return w;
}

QLabel* Label(QWidget* parent, int id, const char* text, QRect at) {
    auto* label = Make<QLabel>(parent, id, "STATIC");
    label->setText(text);
    label->setGeometry(at);
    return label;
}

}  // namespace

CTimeTreeDlg::CTimeTreeDlg(QWidget* parent)
    : CArchiveTreeBase(kTimeTreeTemplate, parent, true), m_panel(Make<QWidget>(this, kIdPanel, "STATIC")) {
    BuildPanel();
    const QDateTime now = QDateTime::currentDateTime();
    SetInterval(QDateTime(now.date(), QTime(0, 0, 0)), now);
}

CTimeTreeDlg::~CTimeTreeDlg() {
    Clear();
}

void CTimeTreeDlg::BuildPanel() {
    // The panel's controls keep their sizes and places; only the panel moves.
    Label(m_panel, kIdSessionLabel, "AVI Session:", QRect(4, 4, 90, 18));
    m_sources = Make<QComboBox>(m_panel, kIdSource, "COMBOBOX");
    m_sources->setGeometry(4, 22, 200, 24);
    Label(m_panel, kIdFromLabel, "From:", QRect(4, 52, 40, 22));
    m_fromDate = Make<QDateEdit>(m_panel, kIdFromDate, "SysDateTimePick32");
    m_fromDate->setGeometry(44, 50, 92, 24);
    m_fromTime = Make<QTimeEdit>(m_panel, kIdFromTime, "SysDateTimePick32");
    m_fromTime->setGeometry(140, 50, 64, 24);
    Label(m_panel, kIdToLabel, "To:", QRect(4, 78, 40, 22));
    m_toDate = Make<QDateEdit>(m_panel, kIdToDate, "SysDateTimePick32");
    m_toDate->setGeometry(44, 76, 92, 24);
    m_toTime = Make<QTimeEdit>(m_panel, kIdToTime, "SysDateTimePick32");
    m_toTime->setGeometry(140, 76, 64, 24);
    for (QDateEdit* date : {m_fromDate, m_toDate}) {
        date->setDisplayFormat(kDateFormat);
        date->setCalendarPopup(true);
    }
    // Without spin buttons the whole time fits beside its date in the pane's width.
    for (QTimeEdit* time : {m_fromTime, m_toTime}) {
        time->setDisplayFormat("HH:mm:ss");
        time->setButtonSymbols(QAbstractSpinBox::NoButtons);
    }
    m_list = Make<QPushButton>(m_panel, kIdList, "BUTTON");
    m_list->setText("List");
    m_list->setGeometry(140, 102 - 4, 64, 22);
    Label(m_panel, kIdEmptyLabel, "", QRect(4, 102, 120, 18));
    connect(m_list, &QPushButton::clicked, this, [this] { Search(); });
}

bool CTimeTreeDlg::OnInitDialog() {
    ui::TranslateDialog(this, kTranslationSection);
    ui::TranslateDialog(m_panel, kTranslationSection);
    LoadSources();
    return CArchiveTreeBase::OnInitDialog();
}

void CTimeTreeDlg::LoadSources() {
    BusyCursor busy;
    std::vector<SourceEntry> sources;
    ListSources(sources);
    m_sources->clear();
    for (const SourceEntry& e : sources) {
        const std::string name = FieldText(e.displayName);
        m_sources->addItem(FromCodePage(name));
        const int index = m_sources->count() - 1;
        m_sources->setItemData(index, QByteArray::fromStdString(FieldText(e.sourceId)), kSourceIdRole);
        m_sources->setItemData(index, QByteArray::fromStdString(name), kSourceNameRole);
    }
    if (m_sources->count() > 0) m_sources->setCurrentIndex(0);
}

void CTimeTreeDlg::SetInterval(const QDateTime& from, const QDateTime& to) {
    m_fromDate->setDate(from.date());
    m_fromTime->setTime(from.time());
    m_toDate->setDate(to.date());
    m_toTime->setTime(to.time());
}

void CTimeTreeDlg::Search() {
    if (m_sources->currentIndex() < 0) return;
    const std::string sourceId = Bytes(m_sources, kSourceIdRole);
    const std::string sourceName = Bytes(m_sources, kSourceNameRole);
    BusyCursor busy;
    ClearAll();
    Tree()->setUpdatesEnabled(false);
    const TimeQuery query = MakeTimeQuery(ToSystemTime(m_fromDate->date(), m_fromTime->time()),
                                          ToSystemTime(m_toDate->date(), m_toTime->time()), sourceId);
    SessionList found;
    SearchSessions(query, found);
    const std::vector<SessionEntry>& sessions = found.entries;
    const std::string interval = sourceName + " " +
                                 m_fromDate->date().toString(Qt::ISODate).toStdString() + " " +
                                 m_fromTime->time().toString().toStdString() + " to " +
                                 m_toDate->date().toString(Qt::ISODate).toStdString() + " " +
                                 m_toTime->time().toString().toStdString();
    ReportEventNote(kEventCodeSearch, nullptr, interval.c_str(), (std::to_string(sessions.size()) + " found").c_str());
    Roots().Lock();
    for (const SessionEntry& e : sessions) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        SessionPayload& s = *node->session;
        s.index = uint32_t(Roots().Size());
        s.day = e.start.day;
        s.year = e.start.year;
        s.month = e.start.month;
        s.fileName = FieldText(e.fileName);
        s.fileNumber = e.fileNumber;
        s.subItems = e.subItems;
        s.sourceId = sourceId;
        s.sourceName = sourceName;
        s.start = e.start;
        s.stop = e.stop;
        s.label = SessionLabel(e, true);
        AddItem(nullptr, node.get(), s.label, s.subItems != 0);
        Roots().Add(std::move(node));
    }
    Roots().Unlock();
    if (found.more) AddMoreRecordingsNote(nullptr);
    Tree()->setUpdatesEnabled(true);
}

void CTimeTreeDlg::Clear() { ClearAll(); }

void CTimeTreeDlg::OnExpand(QTreeWidgetItem* item) { TakePlaceholder(item, NodeOf(item)); }

void CTimeTreeDlg::resizeEvent(QResizeEvent* event) {
    CArchiveTreeBase::resizeEvent(event);
    const int panelHeight = std::min(kPanelHeight, height());
    m_panel->setGeometry(0, height() - panelHeight, width(), panelHeight);
    Tree()->setGeometry(0, 0, width(), height() - panelHeight);
}

}  // namespace corvanta
