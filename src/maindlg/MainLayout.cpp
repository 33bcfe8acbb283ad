#include "maindlg/MainLayout.h"

#include <algorithm>

namespace corvanta {

MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int toolbarHeight, int leftClientWidth) {
    const int height = std::max(0, clientHeight - toolbarHeight);
    MainLayout layout;
    layout.left = {0, toolbarHeight, kLeftTabWidth, height};
    const int rightX = leftClientWidth + kTabGap;
    layout.right = {rightX, toolbarHeight, std::max(0, clientWidth - rightX), height};
    return layout;
}

}  // namespace corvanta
