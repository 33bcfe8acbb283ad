// The language translator: its dictionary file, the translate command, the
// keys it learns, and the client calls, with the filter on its own thread
// and the dictionary in a temporary current directory.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/CFilterIcpClient.h"
#include "services/CLanguageTranslator.h"
#include "services/LanguageDictionary.h"
#include "services/Translation.h"
#include "services/service_test_env.h"

using namespace corvanta;
using corvanta::test::ServiceWorld;

namespace {

class Translator : public ::testing::Test {
protected:
    // Writes `text` as the dictionary in the current directory and starts the translator.
    void StartWith(const std::string& text) {
        ServiceWorld::WriteFile(kDictionaryFileName, text);
        Start();
    }
    void Start() {
        ASSERT_EQ(translator.Startup(), 1);
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));
    }
    // The text TranslateByKey leaves, which must report the translator reachable.
    static std::string Translated(const std::string& key, const std::string& builtIn) {
        std::string text = builtIn;
        EXPECT_EQ(TranslateByKey(key, text), 1) << key;
        return text;
    }
    static std::string DictionaryText() { return ServiceWorld::ReadFile(kDictionaryFileName); }

    ServiceWorld world;
    CLanguageTranslator translator;
};

}  // namespace

// --- The dictionary file -------------------------------------------------

TEST_F(Translator, TwoEntriesAcrossALineBreak) {
    StartWith(";A;B;\r\n;C;D;");
    EXPECT_EQ(translator.EntryCount(), 2u);
    EXPECT_EQ(Translated("A", "a"), "B");
    EXPECT_EQ(Translated("C", "c"), "D");
}

TEST_F(Translator, TextAroundEntriesIsIgnored) {
    StartWith("x;A;B;y");
    EXPECT_EQ(translator.EntryCount(), 1u);
    EXPECT_EQ(Translated("A", "a"), "B");
    EXPECT_EQ(Translated("x", "x0"), "x0");
    EXPECT_EQ(Translated("y", "y0"), "y0");
}

TEST_F(Translator, AnUnterminatedEntryGivesNothing) {
    StartWith(";A;B");
    EXPECT_EQ(translator.EntryCount(), 0u);
    EXPECT_EQ(Translated("A", "built-in"), "built-in");
}

TEST_F(Translator, TheFirstOfTwoEntriesWithOneKeyWins) {
    StartWith(";K;first;\n;K;second;\n");
    EXPECT_EQ(Translated("K", "k"), "first");
}

TEST_F(Translator, KeysAreTakenExactlyWithBlanksAndCase) {
    StartWith("; A ; B ;\n;Ok;Fine;\n;;empty key;\n");
    EXPECT_EQ(Translated(" A ", "a"), " B ");
    EXPECT_EQ(Translated("A", "a"), "a");
    EXPECT_EQ(Translated("OK", "ok"), "ok");
    EXPECT_EQ(Translated("Ok", "ok"), "Fine");
    EXPECT_EQ(Translated("", "x"), "empty key");
}

TEST_F(Translator, ParseMatchesTheFileRules) {
    auto entries = ParseDictionary("remark;A;B;;C;\r\nD;tail");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, "A");
    EXPECT_EQ(entries[0].translation, "B");
    EXPECT_EQ(entries[1].key, "C");
    EXPECT_EQ(entries[1].translation, "\r\nD");
    EXPECT_TRUE(ParseDictionary(";;").empty());
    EXPECT_TRUE(ParseDictionary("").empty());
    EXPECT_EQ(FormatDictionaryEntry("K", "T"), ";K;T;\r\n");
}

// --- Learning ------------------------------------------------------------

TEST_F(Translator, AnUnknownKeyIsAppendedOnceAndAnswersItsFirstTextNextTime) {
    StartWith(";A;B;");
    EXPECT_EQ(Translated("K", "T"), "T");
    EXPECT_EQ(DictionaryText(), ";A;B;;K;T;\r\n");
    EXPECT_EQ(Translated("K", "other"), "T");
    EXPECT_EQ(Translated("K", "T"), "T");
    EXPECT_EQ(DictionaryText(), ";A;B;;K;T;\r\n");
    EXPECT_EQ(translator.EntryCount(), 2u);
}

TEST_F(Translator, AnEmptyBuiltInTextLearnsNothing) {
    StartWith(";A;B;\n");
    EXPECT_EQ(Translated("K", ""), "");
    EXPECT_EQ(Translated("A", ""), "");
    EXPECT_EQ(DictionaryText(), ";A;B;\n");
    EXPECT_EQ(translator.EntryCount(), 1u);
}

TEST_F(Translator, WithoutAFileKeysAreLearnedInMemoryOnly) {
    Start();
    EXPECT_EQ(Translated("K", "T"), "T");
    EXPECT_EQ(Translated("K", "U"), "T");
    EXPECT_EQ(translator.EntryCount(), 1u);
    for (const std::string& place : DictionaryPlaces()) EXPECT_FALSE(std::filesystem::exists(place)) << place;
}

TEST_F(Translator, APairHoldingASemicolonIsLearnedButNotWritten) {
    StartWith(";A;B;\n");
    EXPECT_EQ(Translated("K", "x;y"), "x;y");
    EXPECT_EQ(Translated("K", "z"), "x;y");
    EXPECT_EQ(DictionaryText(), ";A;B;\n");
    // The file still reads as it did.
    EXPECT_EQ(ParseDictionary(DictionaryText()).size(), 1u);
}

// --- Where the file is looked for ------------------------------------------

TEST_F(Translator, TheCurrentDirectoryComesBeforeTheDataFolder) {
    ServiceWorld::WriteFile(world.DataDir() + "/" + kDictionaryFileName, ";A;from data;\n");
    StartWith(";A;from current;\n");
    EXPECT_EQ(Translated("A", "a"), "from current");
    EXPECT_EQ(Translated("New", "n"), "n");
    EXPECT_EQ(DictionaryText(), ";A;from current;\n;New;n;\r\n");
    EXPECT_EQ(ServiceWorld::ReadFile(world.DataDir() + "/" + kDictionaryFileName), ";A;from data;\n");
}

TEST_F(Translator, TheInstallPlacesAreKeptAsWrittenBeforeTheDataFolder) {
    const std::vector<std::string> places = DictionaryPlaces();
    ASSERT_EQ(places.size(), 5u);
    EXPECT_EQ(places[0], "language_basic.txt");
    EXPECT_EQ(places[1], "C:\\program files\\Orvalmedia\\Corvanta Basic WEB\\language_basic.txt");
    EXPECT_EQ(places[2], "C:\\program files\\Orvalmedia\\Corvanta Basic\\language_basic.txt");
    EXPECT_EQ(places[3], world.DataDir() + "/language_basic.txt");
    EXPECT_EQ(places[4], "/usr/share/corvanta/language_basic.txt");

    // Here the second install place names a file in the current directory.
    ServiceWorld::WriteFile(places[2], ";A;install;\n");
    ServiceWorld::WriteFile(places[3], ";A;data;\n");
    Start();
    EXPECT_EQ(Translated("A", "a"), "install");
}

TEST_F(Translator, TheDataFolderIsReadAndAppendedWhenNothingComesBefore) {
    const std::string file = world.DataDir() + "/" + kDictionaryFileName;
    ServiceWorld::WriteFile(file, ";A;data;\n");
    Start();
    EXPECT_EQ(Translated("A", "a"), "data");
    EXPECT_EQ(Translated("B", "b"), "b");
    EXPECT_EQ(ServiceWorld::ReadFile(file), ";A;data;\n;B;b;\r\n");
    EXPECT_FALSE(std::filesystem::exists(kDictionaryFileName));
}

TEST_F(Translator, ARelativeDataHomeFallsBackToTheHomeFolder) {
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(DictionaryPlaces()[3], std::string(getenv("HOME")) + "/.local/share/corvanta/language_basic.txt");
}

// --- The translate command ------------------------------------------------

TEST_F(Translator, TheCommandAnswersKind7WithTheTranslationAndItsNul) {
    StartWith(";Key;Translation;");
    CFilterIcpClient client;
    ASSERT_EQ(client.Open(kLanguageTranslatorName), 1);

    const char found[] = "Key\0Built-in";
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 5, 0, found, sizeof found), 1);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(a->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(a->param1, 0u);
    EXPECT_EQ(a->status, 0);
    ASSERT_EQ(a->dataLength, sizeof "Translation");
    EXPECT_EQ(std::memcmp(a->data, "Translation", sizeof "Translation"), 0);

    const char missing[] = "Other\0Built-in";
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 5, 0, missing, sizeof missing), 0);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(client.Answer()->status, 0);
    EXPECT_EQ(client.Answer()->dataLength, 0u);
}

TEST_F(Translator, OtherCommandsAndKindsAreRefused) {
    StartWith(";Key;Translation;");
    CFilterIcpClient client;
    ASSERT_EQ(client.Open(kLanguageTranslatorName), 1);
    const char data[] = "Key\0x";
    EXPECT_EQ(client.SendCommand(8, 0, 0, data, sizeof data), 0);
    EXPECT_EQ(client.Send(kIcpReadTagged + 20, kTranslateCommand, 0, 0, data, sizeof data), 0);
    EXPECT_EQ(translator.EntryCount(), 1u);
}

TEST_F(Translator, ARequestWithoutNulsIsReadWithinItsLength) {
    StartWith(";Key;Translation;");
    CFilterIcpClient client;
    ASSERT_EQ(client.Open(kLanguageTranslatorName), 1);
    // "Key" then "Tx" with no NUL after it: the text ends with the data.
    const char data[] = {'K', 'e', 'y', '\0', 'T', 'x'};
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 0, 0, data, sizeof data), 1);
    const char unknown[] = {'N', 'e', 'w', '\0', 'T', 'x'};
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 0, 0, unknown, sizeof unknown), 0);
    EXPECT_EQ(DictionaryText(), ";Key;Translation;;New;Tx;\r\n");
    // A key alone has an empty text: nothing is learned.
    const char keyOnly[] = {'L', 'o', 'n', 'e'};
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 0, 0, keyOnly, sizeof keyOnly), 0);
    EXPECT_EQ(translator.EntryCount(), 2u);
}

TEST_F(Translator, ATranslationLongerThanTheAnswerRegionIsCut) {
    const std::string longText(40000, 'w');
    StartWith(";Long;" + longText + ";");
    const std::string answer = Translated("Long", "l");
    EXPECT_EQ(answer.size(), CLanguageTranslator::MakeDescriptor().answerCapacity - 1);
    EXPECT_EQ(answer, longText.substr(0, answer.size()));
}

// --- Client calls ------------------------------------------------------------

TEST_F(Translator, TranslateTextKeysBySectionAndText) {
    StartWith(";ArchiveViewer LeftTab-Full;Alles;\n");
    EXPECT_EQ(TranslateText("Full", "ArchiveViewer LeftTab"), "Alles");
    EXPECT_EQ(TranslateText("By time", "ArchiveViewer LeftTab"), "By time");
    EXPECT_NE(DictionaryText().find(";ArchiveViewer LeftTab-By time;By time;\r\n"), std::string::npos);
}

TEST_F(Translator, WithoutARegisteredTranslatorTextsStayUnchanged) {
    ServiceWorld::WriteFile(kDictionaryFileName, ";S-Full;Alles;\n");
    std::string text = "Full";
    EXPECT_EQ(TranslateByKey("S-Full", text), 0);
    EXPECT_EQ(text, "Full");
    EXPECT_EQ(TranslateText("Full", "S"), "Full");
    EXPECT_EQ(DictionaryText(), ";S-Full;Alles;\n");
}

TEST_F(Translator, ShutdownUnregistersAndEmptiesTheDictionary) {
    StartWith(";S-Full;Alles;\n");
    EXPECT_EQ(TranslateText("Full", "S"), "Alles");
    EXPECT_EQ(translator.Shutdown(), 1);
    EXPECT_EQ(translator.EntryCount(), 0u);
    EXPECT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName, false));
    EXPECT_EQ(TranslateText("Full", "S"), "Full");
}

TEST_F(Translator, TheDescriptorIsTheTranslators) {
    CFilterDescriptor d = CLanguageTranslator::MakeDescriptor();
    EXPECT_EQ(d.name, "Main Language Translator");
    EXPECT_EQ(d.classCode, 8u);
    EXPECT_EQ(d.typeCode, 16u);
    EXPECT_EQ(d.ownThread, 1u);
    EXPECT_EQ(d.version, "1.0.0");
    EXPECT_EQ(d.queryCapacity, 36000u);
    EXPECT_EQ(d.answerCapacity, 36000u);
    EXPECT_EQ(d.loopEnabled, 0u);
}
