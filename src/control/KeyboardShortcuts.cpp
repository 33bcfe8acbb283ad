#include "control/KeyboardShortcuts.h"

namespace corvanta::control {

namespace {

constexpr char kPlayer[] = "Player";
constexpr char kTrees[] = "Archive trees";
constexpr char kHistory[] = "Motion history";
constexpr char kRange[] = "Motion history's range slider";
constexpr char kToolbar[] = "Toolbar";

// The player's keys work while the player has the focus (the shortcuts box
// says to click the picture first).
constexpr ShortcutEntry kShortcuts[] = {
    {kPlayer, "Space", "Play, or pause while playing", true},
    {kPlayer, "Left", "One frame back", true},
    {kPlayer, "Right", "One frame forward", true},
    {kPlayer, "Up", "Faster", true},
    {kPlayer, "Down", "Slower", true},
    {kPlayer, "Home", "First frame", true},
    {kPlayer, "End", "Last frame", true},
    {kPlayer, "Left double click on the picture", "Fit the picture to the pane, or back to its own size", false},
    {kPlayer, "Right double click on the picture", "Save the frame shown as a JPEG file", false},
    {kPlayer, "Ctrl+E", "Export the recording as a video file", true},
    {kPlayer, "Right click on the picture", "Export...", false},
    {kPlayer, "Click or drag the position slider", "Go to that frame", false},
    {kPlayer, "Hold the jog slider left or right of its middle",
     "Move back or on, slowly or fast; let go and it springs back", false},
    {kTrees, "Click", "Select: a recording plays, a camera plays its live buffer, a day shows its motion history",
     false},
    {kTrees, "Up", "Select the item above", true},
    {kTrees, "Down", "Select the item below", true},
    {kTrees, "Right", "Open the item, or go to its first entry", true},
    {kTrees, "Left", "Close the item, or go to the item it is in", true},
    {kTrees, "Double click", "Open or close the item", false},
    {kTrees, "Right click on a recording", "Media Player, Open Folder", false},
    {kToolbar, "F5", "Refresh: reload the tree, or repeat the search by time", true},
    {kHistory, "Click a second on the upper bar", "Watch that second", false},
    {kHistory, "Right click on a bar", "Export the selected range as a video file", false},
    {kRange, "Left", "Move the range shown on the upper bar one step earlier", true},
    {kRange, "Right", "Move the range one step later", true},
    {kRange, "Shift+Left", "Move only the end of the range earlier", true},
    {kRange, "Shift+Right", "Move only the end of the range later", true},
};

}  // namespace

std::span<const ShortcutEntry> KeyboardShortcuts() { return kShortcuts; }

}  // namespace corvanta::control
