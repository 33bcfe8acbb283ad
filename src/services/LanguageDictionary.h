#pragma once
// The dictionary file of the language translator: a sequence of entries
// written ";key;translation;". Whatever lies between one entry's closing
// semicolon and the next entry's opening one (line breaks, remarks) is not
// part of any entry. Texts are bytes of the system code page, taken exactly,
// blanks included; they cannot hold a semicolon.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

inline constexpr char kDictionaryFileName[] = "language_basic.txt";

// A dictionary file larger than this is not read at all: no real dictionary
// comes near it, and reading it whole would only cost memory.
inline constexpr std::size_t kMaxDictionaryFileSize = 16u << 20;

struct DictionaryEntry {
    std::string key;
    std::string translation;
};

// The entries of a dictionary text, in file order. An entry whose closing
// semicolon is missing is dropped, and so is everything after it.
std::vector<DictionaryEntry> ParseDictionary(std::string_view text);

// One learned entry as it is appended: ";key;text;" and CR LF.
std::string FormatDictionaryEntry(std::string_view key, std::string_view text);

// True when the pair can be written so that reading the file gives it back
// unchanged (neither text holds a semicolon or a NUL).
bool FitsDictionaryFormat(std::string_view key, std::string_view text);

// Where the dictionary is looked for, first place first: the current
// directory, the two Windows install folders (kept as they
// were written, so a file of that name placed beside the program still
// counts), then $XDG_DATA_HOME/corvanta/ (~/.local/share when unset or
// relative) and /usr/share/corvanta/.
std::vector<std::string> DictionaryPlaces(const std::string& fileName = kDictionaryFileName);

// The whole text of the first place that opens for reading; false when none
// does or the file is larger than kMaxDictionaryFileSize.
bool ReadDictionaryFile(std::string* text, std::string* usedPath = nullptr);

// Appends `entry` to the first place that opens for writing as an existing
// file; never creates one. False when none opens or the write fails.
bool AppendToDictionaryFile(std::string_view entry, std::string* usedPath = nullptr);

}  // namespace corvanta
