#pragma once
// The dictionary file of the language translator: a sequence of entries
// written ";key;translation;". Whatever lies between one entry's closing
// semicolon and the next entry's opening one (line breaks, remarks) is not
// part of any entry. Texts are UTF-8, taken exactly, blanks included; they
// cannot hold a semicolon.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

// The English dictionary, and the fallback of every locale without a file
// of its own. Another language's file is "language_basic_<language>.txt".
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

// Empty when `text` can be a dictionary: UTF-8 without NULs or control
// characters other than tab, CR and LF. Otherwise what is wrong, for a note.
std::string DictionaryTextProblem(std::string_view text);

// The languages the user's locale asks for, most wanted first, from
// LANGUAGE (a colon-separated list) and then the first set of LC_ALL,
// LC_MESSAGES and LANG; "de_AT.UTF-8@euro" gives "de_AT" and then "de".
// As with gettext, LANGUAGE counts only when the locale is not "C" or
// "POSIX". English, and everything after it, is left out: it is the fallback.
std::vector<std::string> LocaleLanguages();

// The dictionary file names to look for, most wanted first: one for each of
// LocaleLanguages(), then kDictionaryFileName.
std::vector<std::string> DictionaryFileNames();

// Where a dictionary file of `fileName` is looked for, first place first:
// the current directory, the two Windows install folders (kept as they
// were written, so a file of that name placed beside the program still
// counts), $XDG_DATA_HOME/corvanta/ (~/.local/share when unset or relative),
// share/corvanta/ beside the program's bin/ folder (the build tree and any
// install prefix), and /usr/share/corvanta/.
std::vector<std::string> DictionaryPlaces(const std::string& fileName = kDictionaryFileName);

enum class DictionaryStatus {
    Read,        // the text is the dictionary's
    None,        // no file of any name at any place
    Unreadable,  // the file exists but cannot be read, or is too large
    Damaged,     // read, but not a dictionary's text (another encoding, binary)
};

struct FoundDictionary {
    DictionaryStatus status = DictionaryStatus::None;
    std::string path;     // the file found; empty for None
    std::string text;     // for Read only
    std::string problem;  // for Unreadable and Damaged, for a note
};

// The first file that exists, trying every place for each of
// DictionaryFileNames() in turn. The file found is the dictionary even when
// it cannot be used: a later one must not take over silently.
FoundDictionary ReadDictionaryFile();

// Appends `entry` to the existing file `path`; never creates one. False
// when it does not open for writing or the write fails.
bool AppendToDictionaryFile(const std::string& path, std::string_view entry);

}  // namespace corvanta
