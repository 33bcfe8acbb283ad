#include "platform/RegistryFile.h"

namespace corvanta::platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kDwordPrefix = "dword:";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

void AppendQuoted(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

// Reads a quoted text starting at s[pos] == '"'; on success pos is just past
// the closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out, std::string& reason) {
    out.clear();
    size_t i = pos + 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\0') {
            reason = "NUL byte in a text";
            return false;
        }
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) break;
        char e = s[i + 1];
        switch (e) {
            case '\\': out += '\\'; i += 2; break;
            case '"': out += '"'; i += 2; break;
            case 'n': out += '\n'; i += 2; break;
            case 'r': out += '\r'; i += 2; break;
            case 't': out += '\t'; i += 2; break;
            case 'x': {
                int hi = i + 2 < s.size() ? HexDigit(s[i + 2]) : -1;
                int lo = i + 3 < s.size() ? HexDigit(s[i + 3]) : -1;
                if (hi < 0 || lo < 0) {
                    reason = "\\x needs two hexadecimal digits";
                    return false;
                }
                if (hi == 0 && lo == 0) {
                    reason = "texts cannot hold NUL";
                    return false;
                }
                out += static_cast<char>(hi * 16 + lo);
                i += 4;
                break;
            }
            default:
                reason = "unknown escape in a text";
                return false;
        }
    }
    reason = "text without its closing quote";
    return false;
}

bool ParseKeyHeader(std::string_view line, std::string& path, std::string& reason) {
    std::string_view inner = line.substr(1, line.size() - 2);
    if (inner.substr(0, kRegistryRootName.size()) != kRegistryRootName) {
        reason = "only keys below HKEY_CURRENT_USER are kept";
        return false;
    }
    inner.remove_prefix(kRegistryRootName.size());
    path.clear();
    if (inner.empty()) return true;
    if (inner.front() != '\\') {
        reason = "only keys below HKEY_CURRENT_USER are kept";
        return false;
    }
    inner.remove_prefix(1);
    path.assign(inner);
    // Every component must be one that CreateSubKey would accept.
    size_t start = 0;
    while (true) {
        size_t end = inner.find('\\', start);
        std::string_view part = inner.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!IsValidKeyName(part)) {
            reason = "empty or invalid key name";
            return false;
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return true;
}

bool ParseValueLine(std::string_view line, std::string& name, RegistryValue& value, std::string& reason) {
    size_t pos = 0;
    if (line[0] == '@') {
        name.clear();
        pos = 1;
    } else if (!ReadQuoted(line, pos, name, reason)) {
        return false;
    }
    std::string_view rest = TrimBlanks(line.substr(pos));
    if (rest.empty() || rest.front() != '=') {
        reason = "value name without '='";
        return false;
    }
    rest = TrimBlanks(rest.substr(1));
    if (!rest.empty() && rest.front() == '"') {
        size_t p = 0;
        std::string text;
        if (!ReadQuoted(rest, p, text, reason)) return false;
        if (!TrimBlanks(rest.substr(p)).empty()) {
            reason = "characters after the closing quote";
            return false;
        }
        value.type = kRegSz;
        value.data = std::move(text);
        return true;
    }
    if (rest.substr(0, kDwordPrefix.size()) == kDwordPrefix) {
        std::string_view digits = rest.substr(kDwordPrefix.size());
        if (digits.empty() || digits.size() > 8) {
            reason = "a dword needs one to eight hexadecimal digits";
            return false;
        }
        uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) {
                reason = "a dword needs one to eight hexadecimal digits";
                return false;
            }
            v = v * 16 + uint32_t(d);
        }
        value.type = kRegDword;
        value.data.assign({char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)});
        return true;
    }
    reason = "unsupported value form (only texts and dwords are kept)";
    return false;
}

}  // namespace

bool IsValidKeyName(std::string_view name) {
    if (name.empty()) return false;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool ParseRegistryText(std::string_view text, RegistryTree& tree, RegistryParseError* error) {
    tree.clear();
    RegistryTree result;
    RegistryValues* current = nullptr;
    bool sawHeader = false;
    size_t lineNo = 0;
    std::string reason;

    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());

    auto fail = [&](std::string why) {
        if (error) *error = RegistryParseError{lineNo, std::move(why)};
        return false;
    };

    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.find('\0') != std::string_view::npos) return fail("NUL byte in the file");

        if (!sawHeader) {
            if (line != kHeader) return fail("the file does not start with REGEDIT4");
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.size() < 2 || line.back() != ']') return fail("key header without its closing ']'");
            std::string path;
            if (!ParseKeyHeader(line, path, reason)) return fail(reason);
            current = &result[path];
            continue;
        }
        if (line.front() == '"' || line.front() == '@') {
            if (!current) return fail("value before any key");
            std::string name;
            RegistryValue value;
            if (!ParseValueLine(line, name, value, reason)) return fail(reason);
            (*current)[name] = std::move(value);
            continue;
        }
        return fail("line not understood");
    }
    if (!sawHeader) {
        lineNo = 0;
        return fail("the file does not start with REGEDIT4");
    }
    tree = std::move(result);
    return true;
}

std::string FormatRegistryText(const RegistryTree& tree) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out += kHeader;
    out += "\n";
    for (const auto& [path, values] : tree) {
        out += "\n[";
        out += kRegistryRootName;
        if (!path.empty()) {
            out += '\\';
            out += path;
        }
        out += "]\n";
        for (const auto& [name, value] : values) {
            if (name.empty()) {
                out += '@';
            } else {
                AppendQuoted(out, name);
            }
            out += '=';
            if (value.type == kRegDword && value.data.size() == 4) {
                out += kDwordPrefix;
                for (int i = 3; i >= 0; --i) {
                    auto b = static_cast<unsigned char>(value.data[size_t(i)]);
                    out += kHex[b >> 4];
                    out += kHex[b & 0xF];
                }
            } else {
                AppendQuoted(out, value.data);
            }
            out += '\n';
        }
    }
    return out;
}

}  // namespace corvanta::platform
