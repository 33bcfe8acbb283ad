#include "services/LanguageDictionary.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <system_error>

namespace corvanta {

namespace {

// The Windows install folders, formatted with the file name.
constexpr const char* kInstallPlaces[] = {
    "C:\\program files\\Orvalmedia\\Corvanta Basic WEB\\%s",
    "C:\\program files\\Orvalmedia\\Corvanta Basic\\%s",
};

std::string Format(const char* pattern, const std::string& fileName) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += fileName;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string DataHome() {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = getenv("HOME");
    return std::string(home ? home : "") + "/.local/share";
}

// The folder above the one the program lies in ("/usr" for /usr/bin/x);
// empty when it cannot be told.
std::string ProgramPrefix() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    std::string path(self, size_t(n));
    for (int up = 0; up < 2; ++up) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) return {};
        path.resize(slash);
    }
    return path;
}

std::string Env(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

// "de_AT.UTF-8@euro" gives "de_AT"; empty for anything that is not letters
// and underscores, so a variable never names a path.
std::string LanguageOf(std::string_view value) {
    value = value.substr(0, value.find_first_of(".@"));
    if (value.empty() || value.size() > 16) return {};
    for (char c : value)
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != '_') return {};
    return std::string(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The length of the UTF-8 sequence at `i`; 0 when it is not a well-formed
// one (overlong forms and surrogates included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t n;
    uint32_t code, least;
    if ((lead & 0xE0) == 0xC0) {
        n = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < n) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

std::string ErrorText(int error) { return std::error_code(error, std::generic_category()).message(); }

// Reads the file at `place` into `found`; false when there is none.
bool ReadPlace(const std::string& place, FoundDictionary* found) {
    std::unique_ptr<FILE, decltype(&fclose)> file(fopen(place.c_str(), "rb"), fclose);
    if (!file && (errno == ENOENT || errno == ENOTDIR)) return false;
    found->path = place;
    found->status = DictionaryStatus::Unreadable;
    if (!file) {
        found->problem = ErrorText(errno);
        return true;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (found->text.size() + n > kMaxDictionaryFileSize) {
            found->text.clear();
            found->problem = "larger than " + std::to_string(kMaxDictionaryFileSize >> 20) + " MiB";
            return true;
        }
        found->text.append(buffer, n);
    }
    if (ferror(file.get())) {
        found->text.clear();
        found->problem = ErrorText(errno);
        return true;
    }
    found->problem = DictionaryTextProblem(found->text);
    if (!found->problem.empty()) {
        found->text.clear();
        found->status = DictionaryStatus::Damaged;
        return true;
    }
    found->status = DictionaryStatus::Read;
    return true;
}

}  // namespace

std::vector<DictionaryEntry> ParseDictionary(std::string_view text) {
    std::vector<DictionaryEntry> entries;
    size_t pos = 0;
    for (;;) {
        size_t opening = text.find(';', pos);
        if (opening == std::string_view::npos) break;
        size_t middle = text.find(';', opening + 1);
        if (middle == std::string_view::npos) break;
        size_t closing = text.find(';', middle + 1);
        if (closing == std::string_view::npos) break;
        entries.push_back({std::string(text.substr(opening + 1, middle - opening - 1)),
                           std::string(text.substr(middle + 1, closing - middle - 1))});
        pos = closing + 1;
    }
    return entries;
}

std::string FormatDictionaryEntry(std::string_view key, std::string_view text) {
    std::string entry;
    entry.reserve(key.size() + text.size() + 5);
    entry += ';';
    entry += key;
    entry += ';';
    entry += text;
    entry += ";\r\n";
    return entry;
}

bool FitsDictionaryFormat(std::string_view key, std::string_view text) {
    auto clean = [](std::string_view s) { return s.find(';') == s.npos && s.find('\0') == s.npos; };
    return clean(key) && clean(text);
}

std::string DictionaryTextProblem(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = Utf8SequenceLength(text, i);
            if (n == 0) return "not UTF-8 at byte " + std::to_string(i);
            i += n;
            continue;
        }
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return "a control character at byte " + std::to_string(i);
        ++i;
    }
    return {};
}

std::vector<std::string> LocaleLanguages() {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (!(locale = Env(name)).empty()) break;
    const std::string base = LanguageOf(locale);
    if (base.empty() || base == "C" || base == "POSIX") return {};
    std::vector<std::string> wanted = Split(Env("LANGUAGE"), ':');
    wanted.push_back(locale);
    std::vector<std::string> languages;
    for (const std::string& item : wanted) {
        const std::string language = LanguageOf(item);
        if (language.empty()) continue;
        const std::string major = language.substr(0, language.find('_'));
        if (major == "en" || major == "C" || major == "POSIX") break;
        for (const std::string& name : {language, major})
            if (std::find(languages.begin(), languages.end(), name) == languages.end()) languages.push_back(name);
    }
    return languages;
}

std::vector<std::string> DictionaryFileNames() {
    std::vector<std::string> names;
    for (const std::string& language : LocaleLanguages()) names.push_back("language_basic_" + language + ".txt");
    names.push_back(kDictionaryFileName);
    return names;
}

std::vector<std::string> DictionaryPlaces(const std::string& fileName) {
    std::vector<std::string> places{fileName};
    for (const char* pattern : kInstallPlaces) places.push_back(Format(pattern, fileName));
    places.push_back(DataHome() + "/corvanta/" + fileName);
    const std::string prefix = ProgramPrefix();
    if (!prefix.empty() && prefix != "/usr") places.push_back(prefix + "/share/corvanta/" + fileName);
    places.push_back("/usr/share/corvanta/" + fileName);
    return places;
}

FoundDictionary ReadDictionaryFile() {
    FoundDictionary found;
    for (const std::string& name : DictionaryFileNames())
        for (const std::string& place : DictionaryPlaces(name))
            if (ReadPlace(place, &found)) return found;
    return found;
}

bool AppendToDictionaryFile(const std::string& path, std::string_view entry) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < entry.size()) {
        const ssize_t w = write(fd, entry.data() + done, entry.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += size_t(w);
    }
    close(fd);
    return done == entry.size();
}

}  // namespace corvanta
