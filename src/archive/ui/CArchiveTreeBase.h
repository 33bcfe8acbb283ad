#pragma once
// What both archive trees share: the tree control (kIdTree) whose items
// carry the nodes, the root list that owns them, selecting (the first
// selection's work, then playing or showing), leaving a selection (stopping
// what it started), the hand-over to the next file when a player reports
// the end of one, the two file commands on a session, and the busy cursor
// while the recorder is asked.

#include <QPointer>
#include <QString>
#include <memory>
#include <unordered_map>

#include "archive/ArchiveNodes.h"
#include "archive/ArchivePlayback.h"
#include "services/ui/CMessageWindowHandle.h"
#include "services/ui/CTemplateDialog.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace corvanta {

class CArchiveTreeBase : public ui::CTemplateDialog {
public:
    static constexpr int kIdTree = 1001;
    // Command ids come from 32768 up and are unique across the main dialog,
    // its toolbar (CArchiveMainDlg.h) and the panes' menus: a new command takes
    // the next id above the highest of all of them (32775).
    static constexpr int kCmdMediaPlayer = 32773;
    static constexpr int kCmdOpenFolder = 32774;

    ~CArchiveTreeBase() override;

    // The window that is told which player to show; set before the pane is shown.
    void SetOwner(platform::Hwnd owner) { m_target.owner = owner; }
    platform::Hwnd Owner() const { return m_target.owner; }
    // The window the player reports the end of a file to.
    platform::Hwnd Window() const { return m_window.Handle(); }

    QTreeWidget* Tree() const { return m_tree; }
    ArchiveNodeList& Roots() { return m_roots; }
    // The node of a tree item, or null (a placeholder has none).
    ArchiveNode* NodeOf(QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(uint32_t key) const;

    // The file commands on the selected session.
    void OnFileCommand(int command);

protected:
    // `sessionsOnly`: only session nodes are played on selection and
    // handed over to (the time tree's list holds nothing else).
    CArchiveTreeBase(const ui::DialogTemplate& dialogTemplate, QWidget* parent, bool sessionsOnly);

    // An item for `node` under `parent` (the root when null), with a
    // placeholder child when it may have children.
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, ArchiveNode* node, const std::string& label, bool placeholder);
    // The last item under `parent` (the root when null) when the recorder's
    // list was cut: a line of text without a node, never played.
    void AddMoreRecordingsNote(QTreeWidgetItem* parent);
    // Removes the placeholder of an unexpanded node; false when it was expanded already.
    bool TakePlaceholder(QTreeWidgetItem* item, ArchiveNode* node);
    // Stops the selection, deletes every item and destroys every node.
    void ClearAll();
    virtual void OnExpand(QTreeWidgetItem* item) = 0;

    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void OnOK() override {}
    void OnCancel() override {}

    PlaybackTarget m_target;
    bool m_refreshing = false;

private:
    void OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void Select(ArchiveNode& node);
    void StepNext(uint32_t key);
    void ShowContextMenu(const QPoint& at);

    QTreeWidget* m_tree;
    ArchiveNodeList m_roots;
    std::unordered_map<uint32_t, QTreeWidgetItem*> m_items;
    uint32_t m_nextKey = 0;
    bool m_sessionsOnly;
    ui::CMessageWindowHandle m_window;
};

// The wait cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace corvanta
