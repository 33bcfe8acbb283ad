#pragma once
// The folder layouts camera software writes, recognised from a file's path
// relative to the archive folder alone (no file system access), so the same
// rule serves the scan, the index and names that come back from the viewer.
//
//   dated:    <camera>/<YYYY>/<MM>/<DD>/<HHMMSS>[anything].<ext>
//   segments: <YYYY-MM-DD>/<HH>/<camera>/<MM>.<SS>.<ext>
//   flat:     <camera>/<name>.<ext>   (start from a YYYYMMDD[_-]HHMMSS run in the name, if any)
//
// Names are bytes: nothing here assumes UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/Calendar.h"

namespace corvanta::recorder::folder {

enum class Layout { Dated, Segments, Flat };

const char* layoutName(Layout layout);

struct LayoutMatch {
    Layout layout = Layout::Flat;
    std::string camera;           // the camera's folder name, as bytes
    std::optional<Seconds> start; // local wall-clock start, when the path says it
};

// The '/'-separated components of a relative path; empty components are dropped.
std::vector<std::string_view> splitPath(std::string_view relPath);

// Whether a file name ends in one of the video extensions (case-insensitive)
// after a non-empty stem.
bool isVideoName(std::string_view name);

// The layout a video file's relative path fits, or nothing (not a video
// name, wrong depth, impossible date or time, "." or ".." components).
std::optional<LayoutMatch> matchLayout(std::string_view relPath);

// The first YYYYMMDD[_-]HHMMSS run in a name, bounded by non-digits, that is
// a possible date and time.
std::optional<Seconds> startFromName(std::string_view name);

}  // namespace corvanta::recorder::folder
