#pragma once
// The folder a snapshot's save dialog opens in: the folder of the last save,
// kept as "SnapshotFolder" in the main dialog's registry key so that it lasts
// between runs; the user's pictures folder when there is none or it is gone;
// the home folder when that is missing too.

#include <string>

namespace corvanta {

inline constexpr char kSettingSnapshotFolder[] = "SnapshotFolder";
// Longer folders are not remembered (the registry reads texts of up to 8048 bytes).
inline constexpr unsigned kSnapshotFolderCapacity = 4096;

class SnapshotFolder {
public:
    // `pictures` and `home` are the user's standard folders.
    static std::string Start(const std::string& pictures, const std::string& home);
    // Keeps `folder` for the next save; false when it cannot be kept.
    static bool Remember(const std::string& folder);
    // The folder kept, or "" when none is.
    static std::string Remembered();
};

}  // namespace corvanta
