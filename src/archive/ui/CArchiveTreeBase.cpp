#include "archive/ui/CArchiveTreeBase.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QHideEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QUrl>

#include "archive/ui/CodePageText.h"
#include "framework/EventReport.h"
#include "platform/WindowSystem.h"
#include "playback/PlayerRecords.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/PaneDialog.h"

namespace corvanta {

namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr char kMoreRecordingsText[] =
    "More recordings exist than the recorder sends at once: narrow the search to see them.";

// The folder of a recorder file name: everything before its last backslash.
QString FolderOf(const std::string& fileName) {
    const size_t cut = fileName.rfind('\\');
    return QString::fromStdString(cut == std::string::npos ? fileName : fileName.substr(0, cut));
}

}  // namespace

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

CArchiveTreeBase::CArchiveTreeBase(const ui::DialogTemplate& dialogTemplate, QWidget* parent, bool sessionsOnly)
    : CTemplateDialog(dialogTemplate, parent), m_tree(new QTreeWidget(this)), m_sessionsOnly(sessionsOnly) {
    ui::MakeChildPane(this);
    m_target.playerName = kStandalonePlayerName;
    ui::SetControlIdentity(m_tree, kIdTree, "SysTreeView32");
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnExpand(item); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) { OnCurrentChanged(current, previous); });
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowContextMenu(at); });
    const uint32_t stepNextAvi = platform::RegisterWindowMessage(kStepNextAviMessage);
    m_target.dialog = m_window.Create("Archive Tree", [this, stepNextAvi](uint32_t msg, platform::WParam w,
                                                                          platform::LParam, platform::LResult&) {
        if (msg != stepNextAvi) return false;
        // The player reports the end from inside its own frame step, holding
        // its request regions; the next file is opened once that returned.
        const uint32_t key = uint32_t(w);
        QMetaObject::invokeMethod(this, [this, key] { StepNext(key); }, Qt::QueuedConnection);
        return false;  // passed on to the default procedure as well
    });
}

CArchiveTreeBase::~CArchiveTreeBase() {
    m_window.Destroy();
}

ArchiveNode* CArchiveTreeBase::NodeOf(QTreeWidgetItem* item) const {
    return item ? reinterpret_cast<ArchiveNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* CArchiveTreeBase::ItemOf(uint32_t key) const {
    auto it = m_items.find(key);
    return it == m_items.end() ? nullptr : it->second;
}

QTreeWidgetItem* CArchiveTreeBase::AddItem(QTreeWidgetItem* parent, ArchiveNode* node, const std::string& label,
                                           bool placeholder) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, FromCodePage(label));
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    while (++m_nextKey == 0 || m_items.count(m_nextKey)) {}
    node->key = m_nextKey;
    m_items[node->key] = item;
    if (placeholder) new QTreeWidgetItem(item);
    return item;
}

void CArchiveTreeBase::AddMoreRecordingsNote(QTreeWidgetItem* parent) {
    // Deliberately said in the tree: users take a list that ends silently for the whole archive.
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, kMoreRecordingsText);
    item->setToolTip(0, kMoreRecordingsText);
}

bool CArchiveTreeBase::TakePlaceholder(QTreeWidgetItem* item, ArchiveNode* node) {
    if (!node || node->expanded || item->childCount() == 0) return false;
    delete item->takeChild(0);
    node->expanded = 1;
    return true;
}

void CArchiveTreeBase::ClearAll() {
    if (ArchiveNode* selected = NodeOf(m_tree->currentItem())) StopNode(*selected, m_target);
    m_refreshing = true;
    m_tree->clear();
    m_items.clear();
    m_refreshing = false;
    m_roots.Lock();
    m_roots.Clear();
    m_roots.Unlock();
}

void CArchiveTreeBase::OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (m_refreshing) return;
    if (ArchiveNode* old = NodeOf(previous)) StopNode(*old, m_target);
    if (ArchiveNode* node = NodeOf(current)) Select(*node);
}

void CArchiveTreeBase::Select(ArchiveNode& node) {
    if (m_sessionsOnly && node.kind != NodeKind::Session) return;
    BusyCursor busy;
    OpenNodeFirstTime(node);
    switch (node.kind) {
        case NodeKind::Session:
        case NodeKind::Source: {
            const bool played = PlayNode(node, m_target);
            const std::string& file = node.Playable()->fileName;
            ReportEventNote(played ? kEventCodePlay : kEventCodePlayFailed, nullptr,
                            (file.empty() ? node.Playable()->label : file).c_str(), played ? "play" : "not played");
            // A source without a live buffer is no fault; a recording that
            // does not open is, and the user may have to log in again. Said
            // in the view, not in a box: a hand-over on a dead recorder would
            // bring one per file, under the wait cursor.
            if (!played && node.kind == NodeKind::Session)
                ShowPlayFailure("The recorder did not open " + file +
                                    ". Check that it is running; if it was restarted, log in again.",
                                m_target);
            break;
        }
        case NodeKind::Day:
            if (ShowDayHistory(node, m_target))
                ReportEventNote(kEventCodeShowDay, nullptr, (node.day->sourceName + " " + node.day->label).c_str(),
                                "motion history");
            break;
        case NodeKind::Month: break;
    }
}

void CArchiveTreeBase::StepNext(uint32_t key) {
    QTreeWidgetItem* ended = ItemOf(key);
    QTreeWidgetItem* parent = ended ? ended->parent() : nullptr;
    const int index = !ended ? -1 : parent ? parent->indexOfChild(ended) : m_tree->indexOfTopLevelItem(ended);
    QTreeWidgetItem* next = index < 0 ? nullptr : parent ? parent->child(index + 1) : m_tree->topLevelItem(index + 1);
    ArchiveNode* node = NodeOf(next);
    if (node && (m_sessionsOnly || node->kind == NodeKind::Session)) {
        m_tree->setCurrentItem(next);
        return;
    }
    EndOfFiles(m_target);
}

void CArchiveTreeBase::OnFileCommand(int command) {
    ArchiveNode* node = NodeOf(m_tree->currentItem());
    if (!node || node->kind != NodeKind::Session) return;
    const std::string& name = node->session->fileName;
    const QString target = command == kCmdOpenFolder ? FolderOf(name) : QString::fromStdString(name);
    QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

void CArchiveTreeBase::ShowContextMenu(const QPoint& at) {
    QTreeWidgetItem* item = m_tree->itemAt(at);
    ArchiveNode* node = NodeOf(item);
    if (!node || node->kind != NodeKind::Session) return;
    m_tree->setCurrentItem(item);
    QMenu menu(this);
    menu.addAction("Media Player", this, [this] { OnFileCommand(kCmdMediaPlayer); });
    menu.addAction("Open Folder", this, [this] { OnFileCommand(kCmdOpenFolder); });
    menu.exec(m_tree->viewport()->mapToGlobal(at));
}

void CArchiveTreeBase::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_tree->setGeometry(rect());
}

void CArchiveTreeBase::hideEvent(QHideEvent* event) {
    // Only a hide of the pane itself (another tab, log-off) ends the
    // selection. Qt also hides the children of a window that is minimised or
    // moved to another desktop, spontaneously; that window comes back playing
    // the same file, as a minimised window does on Windows.
    if (!event->spontaneous()) {
        if (ArchiveNode* selected = NodeOf(m_tree->currentItem())) StopNode(*selected, m_target);
        m_refreshing = true;
        m_tree->setCurrentItem(nullptr);
        m_tree->clearSelection();
        m_refreshing = false;
    }
    CTemplateDialog::hideEvent(event);
}

}  // namespace corvanta
