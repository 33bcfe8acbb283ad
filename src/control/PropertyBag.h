#pragma once
// The control's properties as its host stores them between runs: a small
// text of "Name=Value" lines with the persistence version first. Data of
// another version is read and dropped, so a newer host's bag never feeds an
// older control values it would misread.
//
//   Version=1.0
//   ServerURL=http://recorder.local
//   ServerPort=8080

#include <cstdint>
#include <string>
#include <string_view>

namespace corvanta::control {

struct ControlProperties {
    std::string serverUrl;
    int32_t serverPort = 80;

    bool operator==(const ControlProperties&) const = default;
};

enum class BagStatus {
    Ok,
    OtherVersion,  // well-formed, but of another version: the defaults were kept
    Damaged,       // not a property bag: the defaults were kept
};

// The bag for `props`, version 1.0. Line breaks and backslashes in values are escaped.
std::string FormatPropertyBag(const ControlProperties& props);

// Fills `props` from `text`; on anything but Ok `props` holds the defaults.
// `why` (optional) says what was wrong, for a note to the user.
BagStatus ParsePropertyBag(std::string_view text, ControlProperties& props, std::string* why = nullptr);

}  // namespace corvanta::control
