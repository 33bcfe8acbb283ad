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

size_t FailLine(const std::string& text) {
    RegistryTree tree;
    tree["stale"];
    RegistryParseError err;
    EXPECT_FALSE(ParseRegistryText(text, tree, &err)) << text;
    EXPECT_TRUE(tree.empty()) << "a failed parse must not leave a half-read tree";
    EXPECT_FALSE(err.reason.empty());
    return err.line;
}

}  // namespace

TEST(RegistryFileFormat, WritesReadableRegeditText) {
    RegistryTree tree;
    tree["Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog"]["CommType"] = Dword(2);
    tree["Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog"]["ServerURL"] = Text("http://10.0.0.5");
    tree["Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog"][""] = Text("default");
    std::string text = FormatRegistryText(tree);
    EXPECT_EQ(text,
              "REGEDIT4\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog]\n"
              "@=\"default\"\n"
              "\"CommType\"=dword:00000002\n"
              "\"ServerURL\"=\"http://10.0.0.5\"\n");
}

TEST(RegistryFileFormat, EscapesWhatWouldBreakALine) {
    RegistryTree tree;
    tree["K"]["n\"a\\me"] = Text("line1\nline2\r\t\x01\x7F\"q\"\\");
    std::string text = FormatRegistryText(tree);
    EXPECT_NE(text.find("\"n\\\"a\\\\me\"=\"line1\\nline2\\r\\t\\x01\\x7F\\\"q\\\"\\\\\""), std::string::npos) << text;
    EXPECT_EQ(Parse(text), tree);
}

TEST(RegistryFileFormat, EveryByteButNulRoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    RegistryTree tree;
    tree["Software\\x y[z]"][all] = Text(all);
    tree["Software\\x y[z]"]["d"] = Dword(0xDEADBEEF);
    tree[""]["root value"] = Dword(0);
    tree["Empty\\Key"];
    EXPECT_EQ(Parse(FormatRegistryText(tree)), tree);
}

TEST(RegistryFileFormat, ReadsWhatAPersonWrites) {
    RegistryTree tree = Parse(
        "\xEF\xBB\xBF"
        "; settings kept by hand\r\n"
        "REGEDIT4\r\n"
        "\r\n"
        "  [HKEY_CURRENT_USER\\Software\\A]  \r\n"
        "\"port\" = dword:1f90\r\n"
        "\"name\"=  \"Front door\"  \r\n"
        "\t; a comment between values\n"
        "[HKEY_CURRENT_USER\\Software\\A]\n"
        "\"port\"=dword:00000050\n"
        "[HKEY_CURRENT_USER]\n"
        "@=\"root\"\n");
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree["Software\\A"]["port"], Dword(0x50)) << "a later line for the same value wins";
    EXPECT_EQ(tree["Software\\A"]["name"], Text("Front door"));
    EXPECT_EQ(tree[""][""], Text("root"));
}

TEST(RegistryFileFormat, EmptyFileWithHeaderIsEmptyRegistry) {
    EXPECT_TRUE(Parse("REGEDIT4\n").empty());
    EXPECT_TRUE(Parse("REGEDIT4").empty());
}

TEST(RegistryFileFormat, RefusesWhatItDoesNotUnderstand) {
    EXPECT_EQ(FailLine(""), 0u);
    EXPECT_EQ(FailLine("REGEDIT5\n"), 1u);
    EXPECT_EQ(FailLine("REGEDIT4\n\"a\"=\"b\"\n"), 2u) << "value before any key";
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n"), 2u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USERX]\n"), 2u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER\\a\\\\b]\n"), 2u) << "empty key name";
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER\\a\n"), 2u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\n"), 3u) << "unterminated text";
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\\q\"\n"), 3u) << "unknown escape";
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\\x0\"\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\\x00\"\n"), 3u) << "NUL in a text";
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\" x\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:123456789\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:12g4\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,02\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"\n"), 3u);
    EXPECT_EQ(FailLine("REGEDIT4\n[HKEY_CURRENT_USER]\nname=\"x\"\n"), 3u);
    static const char kWithNul[] = "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\0c\"\n";
    EXPECT_EQ(FailLine(std::string(kWithNul, sizeof kWithNul - 1)), 3u);
}

TEST(RegistryFileFormat, KeyNamesAreCheckedLikeCreateSubKey) {
    EXPECT_TRUE(IsValidKeyName("Corvanta Basic Live OCX"));
    EXPECT_TRUE(IsValidKeyName("[x]"));
    EXPECT_FALSE(IsValidKeyName(""));
    EXPECT_FALSE(IsValidKeyName("a\\b"));
    EXPECT_FALSE(IsValidKeyName("a\nb"));
    EXPECT_FALSE(IsValidKeyName(std::string("a\0b", 3)));
}
