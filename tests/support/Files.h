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

}  // namespace corvanta::test
