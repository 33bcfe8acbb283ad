#include "maindlg/PaneTabModel.h"

namespace corvanta {

uint32_t PaneTabModel::Add(void* page) {
    m_items.push_back({m_next, page});
    return m_next++;
}

PaneTabModel::Switch PaneTabModel::Select(int tab) {
    if (tab < 0 || size_t(tab) >= m_items.size()) return {};
    const Item& item = m_items[size_t(tab)];
    if (item.sequence == m_shown) return {};
    Switch change{item.page, nullptr};
    for (const Item& old : m_items)
        if (old.sequence == m_shown && old.page != item.page) change.hide = old.page;
    m_shown = item.sequence;
    return change;
}

bool PaneTabModel::Contains(const void* page) const {
    for (const Item& item : m_items)
        if (item.page == page) return true;
    return false;
}

void PaneTabModel::RemoveAll() {
    m_items.clear();
    m_shown = kNoneShown;
    m_next = 0;
}

}  // namespace corvanta
