#pragma once
// The bookkeeping of a tab control that owns pages: every page added gets
// the next sequence number, and selecting a tab shows its page and hides
// the one shown before, but only when the selection really changed, so a
// repeated notification does not flicker. Pages are opaque to the model.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvanta {

class PaneTabModel {
public:
    static constexpr uint32_t kNoneShown = 99999999;

    struct Item {
        uint32_t sequence;
        void* page;
    };
    // What the tab control has to do after a selection: show one page and
    // hide another; either may be null.
    struct Switch {
        void* show = nullptr;
        void* hide = nullptr;
    };

    // Appends an item for `page` and returns its sequence number.
    uint32_t Add(void* page);
    // `tab` is the selected tab, -1 for none.
    Switch Select(int tab);
    void RemoveAll();
    bool Contains(const void* page) const;

    const std::vector<Item>& Items() const { return m_items; }
    uint32_t Shown() const { return m_shown; }

private:
    std::vector<Item> m_items;
    uint32_t m_shown = kNoneShown;
    uint32_t m_next = 0;
};

}  // namespace corvanta
