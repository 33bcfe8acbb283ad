#pragma once
// Lists the video files under an archive folder with what their paths say.
// Symbolic links are followed, but each folder is entered once (by device
// and inode), so link loops and a folder linked twice cost nothing; hidden
// entries are skipped, and so is anything deeper than the deepest layout.
// What is skipped for a reason the user may want to know gets a one-line
// note, up to a cap, so a folder of 100 000 bad files does not flood.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/folder/FolderLayout.h"

namespace corvanta::recorder::folder {

struct ScannedFile {
    std::string relPath;              // relative to the archive folder, '/'-separated, as bytes
    std::string camera;               // the camera folder's name
    Layout layout = Layout::Flat;
    std::optional<Seconds> nameStart; // local start from the path, when the layout gives one
    uint64_t size = 0;
    int64_t mtimeNs = 0;              // modification time, ns since 1970 UTC
};

struct ScanOptions {
    size_t maxNotes = 20;  // later notes are only counted, in one last line
};

struct ScanResult {
    std::vector<ScannedFile> files;  // sorted by relPath bytes
    std::vector<std::string> notes;  // one line each, for standard error
    size_t skipped = 0;              // everything noted, including notes over the cap
    bool rootReadable = true;        // false when the folder itself cannot be listed
};

ScanResult scanFolder(const std::string& root, const ScanOptions& options = {});

}  // namespace corvanta::recorder::folder
