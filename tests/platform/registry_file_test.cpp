#include <gtest/gtest.h>

#include "platform/RegistryFile.h"

using namespace corvanta::platform;

namespace {

RegistryValue Text(std::string s) { return RegistryValue{kRegSz, std::move(s)}; }
RegistryValue Dword(uint32_t v) {
    return RegistryValue{kRegDword, std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)}};
}

RegistryTree Parse(const std::string& text) {
    RegistryTree tree;
    RegistryParseError err;
    EXPECT_TRUE(ParseRegistryText(text, tree, &err)) << "line " << err.line << ": " << err.reason;
    return tree;
}

}  // namespace

TEST(RegistryFileFormat, WrittenTextReadsBackEveryByteButNul) {
    RegistryTree tree;
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    tree["Software\\x y[z]"][all] = Text(all);
    tree["Software\\x y[z]"]["d"] = Dword(0xDEADBEEF);
    tree["Software\\x y[z]"][""] = Text("default");
    tree["Empty\\Key"];
    EXPECT_EQ(Parse(FormatRegistryText(tree)), tree);
}

TEST(RegistryFileFormat, ReadsWhatAPersonWrites) {
    EXPECT_TRUE(Parse("REGEDIT4").empty());
    RegistryTree tree = Parse(
        "\xEF\xBB\xBF"
        "; settings kept by hand\r\n"
        "REGEDIT4\r\n"
        "\r\n"
        "  [HKEY_CURRENT_USER\\Software\\A]  \r\n"
        "\"port\" = dword:1f90\r\n"
        "\"name\"=  \"Front door\"  \r\n"
        "\t; a comment between values\n"
        "\"port\"=dword:00000050\n");
    EXPECT_EQ(tree["Software\\A"]["port"], Dword(0x50)) << "a later line for the same value wins";
    EXPECT_EQ(tree["Software\\A"]["name"], Text("Front door"));
}

TEST(RegistryFileFormat, RefusesWhatItDoesNotUnderstandWithItsLine) {
    const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER]\n";
    static const char kWithNul[] = "\"a\"=\"b\0c\"\n";
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},
        {"REGEDIT5\n", 1},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},  // a value before any key
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\a\\\\b]\n", 2},  // an empty key name
        {head + "\"a\"=\"b\\x00\"\n", 3},
        {head + "\"a\"=dword:123456789\n", 3},
        {head + "\"a\"=hex:01,02\n", 3},
        {head + std::string(kWithNul, sizeof kWithNul - 1), 3},
    };
    for (const auto& [text, line] : cases) {
        RegistryTree tree;
        tree["stale"];
        RegistryParseError err;
        EXPECT_FALSE(ParseRegistryText(text, tree, &err)) << text;
        EXPECT_TRUE(tree.empty()) << "a failed parse leaves no half-read tree: " << text;
        EXPECT_EQ(err.line, line) << text;
    }
}
