#include "control/PropertyBag.h"

#include <charconv>
#include <map>

#include "control/ControlIdentities.h"

namespace corvanta::control {

namespace {

constexpr std::string_view kVersionKey = "Version";

std::string Escape(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

bool Unescape(std::string_view value, std::string& out) {
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return false;
        switch (value[i]) {
            case '\\': out += '\\'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return false;
        }
    }
    return true;
}

bool ParseInt(std::string_view text, int32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

BagStatus Fail(BagStatus status, ControlProperties& props, std::string* why, std::string reason) {
    props = ControlProperties{};
    if (why) *why = std::move(reason);
    return status;
}

}  // namespace

std::string FormatPropertyBag(const ControlProperties& props) {
    std::string text = std::string(kVersionKey) + "=" + std::to_string(kPropertyVersionMajor) + "." +
                       std::to_string(kPropertyVersionMinor) + "\n";
    text += std::string(kPropServerUrl) + "=" + Escape(props.serverUrl) + "\n";
    text += std::string(kPropServerPort) + "=" + std::to_string(props.serverPort) + "\n";
    return text;
}

BagStatus ParsePropertyBag(std::string_view text, ControlProperties& props, std::string* why) {
    std::map<std::string, std::string, std::less<>> values;
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        size_t eq = line.find('=');
        std::string value;
        if (eq == 0 || eq == std::string_view::npos || !Unescape(line.substr(eq + 1), value))
            return Fail(BagStatus::Damaged, props, why, "line " + std::to_string(lineNo) + " is not Name=Value");
        values[std::string(line.substr(0, eq))] = std::move(value);
    }
    auto version = values.find(kVersionKey);
    if (version == values.end()) return Fail(BagStatus::Damaged, props, why, "no version");
    const std::string expected = std::to_string(kPropertyVersionMajor) + "." + std::to_string(kPropertyVersionMinor);
    if (version->second != expected)
        return Fail(BagStatus::OtherVersion, props, why, "version " + version->second + " is not " + expected);

    ControlProperties read;
    if (auto url = values.find(kPropServerUrl); url != values.end()) read.serverUrl = url->second;
    if (auto port = values.find(kPropServerPort); port != values.end() && !ParseInt(port->second, read.serverPort))
        return Fail(BagStatus::Damaged, props, why, "ServerPort is not a number");
    props = std::move(read);
    return BagStatus::Ok;
}

}  // namespace corvanta::control
