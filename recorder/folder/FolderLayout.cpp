#include "recorder/folder/FolderLayout.h"

#include <array>

namespace corvanta::recorder::folder {
namespace {

constexpr std::array<std::string_view, 16> kVideoExtensions = {
    "avi", "mp4", "mkv", "mov", "ts", "m2ts", "mts", "mpg", "mpeg", "m4v", "h264", "hevc", "265", "264", "mjpg", "mjpeg"};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != b[i]) return false;
    return true;
}

// A fixed-width run of decimal digits, or -1.
int number(std::string_view s, size_t pos, size_t width) {
    if (pos + width > s.size()) return -1;
    int value = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (!isDigit(s[i])) return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

bool isNumber(std::string_view s, size_t width) { return s.size() == width && number(s, 0, width) >= 0; }

std::optional<Seconds> dateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1970 || month < 1 || month > 12 || day < 1) return std::nullopt;
    if (static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month))) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
    const CivilDate date{year, static_cast<unsigned>(month), static_cast<unsigned>(day)};
    return startOfDay(date) + hour * 3600 + minute * 60 + second;
}

std::string_view stemOf(std::string_view name) { return name.substr(0, name.rfind('.')); }

// <camera>/<YYYY>/<MM>/<DD>/<HHMMSS>[anything].<ext>
std::optional<LayoutMatch> matchDated(const std::vector<std::string_view>& parts) {
    if (!isNumber(parts[1], 4) || !isNumber(parts[2], 2) || !isNumber(parts[3], 2)) return std::nullopt;
    const std::string_view name = parts[4];
    auto start = dateTime(number(parts[1], 0, 4), number(parts[2], 0, 2), number(parts[3], 0, 2), number(name, 0, 2),
                          number(name, 2, 2), number(name, 4, 2));
    if (!start || stemOf(name).size() < 6) return std::nullopt;
    return LayoutMatch{Layout::Dated, std::string(parts[0]), start};
}

// <YYYY-MM-DD>/<HH>/<camera>/<MM>.<SS>.<ext>
std::optional<LayoutMatch> matchSegments(const std::vector<std::string_view>& parts) {
    const std::string_view day = parts[0];
    const std::string_view name = parts[3];
    if (day.size() != 10 || day[4] != '-' || day[7] != '-' || !isNumber(parts[1], 2)) return std::nullopt;
    if (stemOf(name).size() != 5 || name[2] != '.') return std::nullopt;
    auto start = dateTime(number(day, 0, 4), number(day, 5, 2), number(day, 8, 2), number(parts[1], 0, 2),
                          number(name, 0, 2), number(name, 3, 2));
    if (!start) return std::nullopt;
    return LayoutMatch{Layout::Segments, std::string(parts[2]), start};
}

}  // namespace

const char* layoutName(Layout layout) {
    switch (layout) {
    case Layout::Dated: return "dated";
    case Layout::Segments: return "segments";
    case Layout::Flat: return "flat";
    }
    return "?";
}

std::vector<std::string_view> splitPath(std::string_view relPath) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (begin <= relPath.size()) {
        size_t end = relPath.find('/', begin);
        if (end == std::string_view::npos) end = relPath.size();
        if (end > begin) parts.push_back(relPath.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

bool isVideoName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view ext = name.substr(dot + 1);
    for (std::string_view known : kVideoExtensions)
        if (equalsNoCase(ext, known)) return true;
    return false;
}

std::optional<LayoutMatch> matchLayout(std::string_view relPath) {
    const std::vector<std::string_view> parts = splitPath(relPath);
    if (parts.empty() || !isVideoName(parts.back())) return std::nullopt;
    for (std::string_view part : parts)
        if (part == "." || part == "..") return std::nullopt;
    switch (parts.size()) {
    case 5: return matchDated(parts);
    case 4: return matchSegments(parts);
    case 2: return LayoutMatch{Layout::Flat, std::string(parts[0]), startFromName(parts[1])};
    default: return std::nullopt;
    }
}

std::optional<Seconds> startFromName(std::string_view name) {
    constexpr size_t kRun = 15;  // YYYYMMDD, separator, HHMMSS
    for (size_t i = 0; i + kRun <= name.size(); ++i) {
        if (i > 0 && isDigit(name[i - 1])) continue;
        if (i + kRun < name.size() && isDigit(name[i + kRun])) continue;
        if (name[i + 8] != '_' && name[i + 8] != '-') continue;
        const int date = number(name, i, 8);
        const int time = number(name, i + 9, 6);
        if (date < 0 || time < 0) continue;
        if (auto start = dateTime(date / 10000, date / 100 % 100, date % 100, time / 10000, time / 100 % 100, time % 100))
            return start;
    }
    return std::nullopt;
}

}  // namespace corvanta::recorder::folder
