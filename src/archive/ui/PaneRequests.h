#pragma once
// How often a pane was asked to refresh, clear or search since it was made.

namespace corvanta {

struct PaneRequests {
    int refreshes = 0;
    int clears = 0;
    int searches = 0;
};

}  // namespace corvanta
