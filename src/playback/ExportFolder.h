#pragma once
// The folder an export's file goes to by default: the folder of the last
// export, kept as "ExportFolder" in the main dialog's registry key so that
// it lasts between runs; the user's videos folder when there is none or it
// is gone; the home folder when that is missing too.

#include <string>

namespace corvanta {

inline constexpr char kSettingExportFolder[] = "ExportFolder";
// Longer folders are not remembered (the registry reads texts of up to 8048 bytes).
inline constexpr unsigned kExportFolderCapacity = 4096;

class ExportFolder {
public:
    // `videos` and `home` are the user's standard folders.
    static std::string Start(const std::string& videos, const std::string& home);
    // Keeps `folder` for the next export; false when it cannot be kept.
    static bool Remember(const std::string& folder);
    // The folder kept, or "" when none is.
    static std::string Remembered();
};

}  // namespace corvanta
