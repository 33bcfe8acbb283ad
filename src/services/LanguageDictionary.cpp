#include "services/LanguageDictionary.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

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

std::vector<std::string> DictionaryPlaces(const std::string& fileName) {
    std::vector<std::string> places{fileName};
    for (const char* pattern : kInstallPlaces) places.push_back(Format(pattern, fileName));
    places.push_back(DataHome() + "/corvanta/" + fileName);
    places.push_back("/usr/share/corvanta/" + fileName);
    return places;
}

bool ReadDictionaryFile(std::string* text, std::string* usedPath) {
    for (const std::string& place : DictionaryPlaces()) {
        std::unique_ptr<FILE, decltype(&fclose)> file(fopen(place.c_str(), "rb"), fclose);
        if (!file) continue;
        // The first place that opens is the dictionary, even when it turns
        // out unreadable: a later place must not take over silently.
        if (usedPath) *usedPath = place;
        text->clear();
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            if (text->size() + n > kMaxDictionaryFileSize) {
                text->clear();
                return false;
            }
            text->append(buffer, n);
        }
        if (ferror(file.get())) {
            text->clear();
            return false;
        }
        return true;
    }
    return false;
}

bool AppendToDictionaryFile(std::string_view entry, std::string* usedPath) {
    for (const std::string& place : DictionaryPlaces()) {
        int fd = open(place.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) continue;
        if (usedPath) *usedPath = place;
        size_t done = 0;
        while (done < entry.size()) {
            ssize_t w = write(fd, entry.data() + done, entry.size() - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;
            done += size_t(w);
        }
        close(fd);
        return done == entry.size();
    }
    return false;
}

}  // namespace corvanta
