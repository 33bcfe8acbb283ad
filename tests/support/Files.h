#pragma once
// Whole-file reads and writes for tests.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace corvanta::test {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Makes the parent folders as needed.
inline void WriteWholeFile(const std::string& path, const std::string& text) {
    std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// How many entries of `dir` have `containing` in their names; 0 for a missing folder.
inline int CountEntries(const std::string& dir, const std::string& containing = {}) {
    std::error_code ec;
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        n += e.path().filename().string().find(containing) != std::string::npos;
    return n;
}

}  // namespace corvanta::test
