#include "archive/ui/CArchiveTreeDlg.h"

#include <QTreeWidget>

#include "archive/ArchiveQueries.h"

namespace corvanta {

namespace {
const ui::DialogTemplate kTreeTemplate{CArchiveTreeDlg::kTemplateId, "", 140, 250, "MS Sans Serif", 8, {}};
}  // namespace

CArchiveTreeDlg::CArchiveTreeDlg(QWidget* parent) : CArchiveTreeBase(kTreeTemplate, parent, false) {}

CArchiveTreeDlg::~CArchiveTreeDlg() {
    ClearAll();
}

bool CArchiveTreeDlg::OnInitDialog() {
    LoadSources();
    return CArchiveTreeBase::OnInitDialog();
}

void CArchiveTreeDlg::Refresh() {
    Tree()->setUpdatesEnabled(false);
    ClearAll();
    LoadSources();
    Tree()->setUpdatesEnabled(true);
}

void CArchiveTreeDlg::LoadSources() {
    BusyCursor busy;
    std::vector<SourceEntry> sources;
    ListSources(sources);
    Roots().Lock();
    for (const SourceEntry& e : sources) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Source);
        node->source->sourceId = FieldText(e.sourceId);
        node->source->sourceName = FieldText(e.displayName);
        node->source->label = node->source->sourceName;
        AddItem(nullptr, node.get(), node->source->label, true);
        Roots().Add(std::move(node));
    }
    Roots().Unlock();
    m_refreshing = true;
    Tree()->setCurrentItem(nullptr);
    Tree()->clearSelection();
    m_refreshing = false;
}

void CArchiveTreeDlg::OnExpand(QTreeWidgetItem* item) {
    ArchiveNode* node = NodeOf(item);
    if (!TakePlaceholder(item, node)) return;
    BusyCursor busy;
    switch (node->kind) {
        case NodeKind::Source: LoadMonths(item, *node); break;
        case NodeKind::Month: LoadDays(item, *node); break;
        case NodeKind::Day: ShowSessions(item, *node); break;
        case NodeKind::Session: break;
    }
}

void CArchiveTreeDlg::LoadMonths(QTreeWidgetItem* item, ArchiveNode& sourceNode) {
    SourcePayload& source = *sourceNode.source;
    std::vector<MonthEntry> months;
    ListMonths(source.sourceId, months);
    source.months.Lock();
    for (const MonthEntry& e : months) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Month);
        MonthPayload& m = *node->month;
        m.year = e.year;
        m.month = e.month;
        m.sourceId = source.sourceId;
        m.sourceName = source.sourceName;
        m.label = MonthLabel(e.year, e.month);
        AddItem(item, node.get(), m.label, true);
        source.months.Add(std::move(node));
    }
    source.months.Unlock();
}

void CArchiveTreeDlg::LoadDays(QTreeWidgetItem* item, ArchiveNode& monthNode) {
    MonthPayload& month = *monthNode.month;
    std::vector<uint8_t> days;
    ListDays(month.sourceId, month.year, month.month, days);
    month.days.Lock();
    for (uint8_t day : days) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Day);
        DayPayload& d = *node->day;
        d.day = day;
        d.year = month.year;
        d.month = month.month;
        d.sourceId = month.sourceId;
        d.sourceName = month.sourceName;
        d.label = DayLabel(month.year, month.month, day);
        AddItem(item, node.get(), d.label, true);
        month.days.Add(std::move(node));
    }
    month.days.Unlock();
}

void CArchiveTreeDlg::ShowSessions(QTreeWidgetItem* item, ArchiveNode& dayNode) {
    // A day selected before it was opened has its sessions already.
    LoadDaySessions(dayNode);
    ArchiveNodeList& sessions = dayNode.day->sessions;
    sessions.Lock();
    for (size_t i = 0; i < sessions.Size(); ++i) {
        ArchiveNode* node = sessions.At(i);
        AddItem(item, node, node->session->label, node->session->subItems != 0);
    }
    sessions.Unlock();
    if (dayNode.day->moreSessions) AddMoreRecordingsNote(item);
}

}  // namespace corvanta
