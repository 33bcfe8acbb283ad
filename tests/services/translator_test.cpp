#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

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
    void StartWith(const std::string& text) {
        test::WriteWholeFile(kDictionaryFileName, text);
        Start();
    }
    void Start() {
        ASSERT_EQ(translator.Startup(), 1);
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));
    }
    // What TranslateByKey leaves of `builtIn`; the translator must be reachable.
    static std::string Translated(const std::string& key, const std::string& builtIn) {
        std::string text = builtIn;
        EXPECT_EQ(TranslateByKey(key, text), 1) << key;
        return text;
    }
    static std::string File(const std::string& path = kDictionaryFileName) { return test::ReadWholeFile(path); }

    ServiceWorld world;
    CLanguageTranslator translator;
};

struct DictionaryCase {
    const char* file;
    size_t entries;
    std::vector<std::tuple<const char*, const char*, const char*>> lookups;  // key, built-in text, answer
};

class DictionaryFile : public Translator, public ::testing::WithParamInterface<DictionaryCase> {};

}  // namespace

TEST_P(DictionaryFile, IsReadAsTheFormatSays) {
    StartWith(GetParam().file);
    EXPECT_EQ(translator.EntryCount(), GetParam().entries);
    for (const auto& [key, builtIn, answer] : GetParam().lookups) EXPECT_EQ(Translated(key, builtIn), answer) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Translator, DictionaryFile,
    ::testing::Values(DictionaryCase{";A;B;\r\n;C;D;", 2, {{"A", "a", "B"}, {"C", "c", "D"}}},
                      DictionaryCase{"x;A;B;y", 1, {{"A", "a", "B"}, {"x", "x0", "x0"}, {"y", "y0", "y0"}}},
                      DictionaryCase{";K;first;\n;K;second;\n;A;B", 2, {{"K", "k", "first"}, {"A", "a", "a"}}}));

TEST_F(Translator, AnUnknownKeyIsLearnedOnceAndAnswersItsFirstTextNextTime) {
    StartWith(";A;B;");
    EXPECT_EQ(Translated("K", "T"), "T");
    EXPECT_EQ(Translated("K", "other"), "T");
    EXPECT_EQ(Translated("E", ""), "") << "an empty built-in text learns nothing";
    // A pair holding a semicolon would shift every later entry of the file: learned, not written.
    EXPECT_EQ(Translated("S", "x;y"), "x;y");
    EXPECT_EQ(Translated("S", "z"), "x;y");
    EXPECT_EQ(File(), ";A;B;;K;T;\r\n");
    EXPECT_EQ(translator.EntryCount(), 3u);
}

TEST_F(Translator, TheFirstPlaceFoundIsReadAndAppendedTo) {
    const std::vector<std::string> places = DictionaryPlaces();
    ASSERT_GE(places.size(), 5u);
    // Here the install places name files in the current directory; each step adds one in front.
    const std::pair<int, std::string> steps[] = {{3, "data"}, {0, "current"}};
    for (const auto& [place, answer] : steps) {
        test::WriteWholeFile(places[place], ";A;" + answer + ";\n");
        Start();
        EXPECT_EQ(Translated("A", "a"), answer);
        EXPECT_EQ(Translated("New", "n"), "n");
        EXPECT_EQ(File(places[place]), ";A;" + answer + ";\n;New;n;\r\n");
        translator.Shutdown();
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName, false));
    }
    EXPECT_EQ(File(places[3]), ";A;data;\n;New;n;\r\n") << "a later place is left alone";
}

TEST_F(Translator, TheCommandAnswersKind7WithTheTranslationWithinTheRegions) {
    const std::string longText(40000, 'w'), dictionary = ";Key;Translation;;Long;" + longText + ";";
    StartWith(dictionary);
    CFilterIcpClient client;
    ASSERT_EQ(client.Open(kLanguageTranslatorName), 1);
    const char found[] = "Key\0Built-in";
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 5, 0, found, sizeof found), 1);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(std::tuple(a->kind, a->param1, a->status, std::string(reinterpret_cast<const char*>(a->data), a->dataLength)),
              std::tuple(uint32_t(kIcpCommandAnswer), 0u, 0, std::string("Translation", sizeof "Translation")));
    const char missing[] = "Other\0Built-in";
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 5, 0, missing, sizeof missing), 0);
    EXPECT_EQ(client.Answer()->dataLength, 0u);

    // Texts without their NULs end with the data; a key alone has an empty text and learns nothing.
    const char unknown[] = {'N', 'e', 'w', '\0', 'T', 'x'}, keyOnly[] = {'L', 'o', 'n', 'e'};
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 0, 0, unknown, sizeof unknown), 0);
    EXPECT_EQ(client.SendCommand(kTranslateCommand, 0, 0, keyOnly, sizeof keyOnly), 0);
    EXPECT_EQ(client.SendCommand(8, 0, 0, found, sizeof found), 0);
    EXPECT_EQ(File(), dictionary + ";Other;Built-in;\r\n;New;Tx;\r\n");

    const std::string answer = Translated("Long", "l");
    EXPECT_EQ(answer.size(), CLanguageTranslator::MakeDescriptor().answerCapacity - 1);
    EXPECT_EQ(answer, longText.substr(0, answer.size()));
}

TEST_F(Translator, TheLocaleChoosesTheLanguagesFileWithEnglishAsTheFallback) {
    const std::string english = test::ReadWholeFile(DICTIONARY_DIR "/language_basic.txt");
    const std::string german = test::ReadWholeFile(DICTIONARY_DIR "/language_basic_de.txt");
    test::WriteWholeFile("language_basic.txt", english);
    test::WriteWholeFile("language_basic_de.txt", german);
    struct Case {
        const char* language;
        const char* all;
        const char* messages;
        const char* lang;
        const char* file;
        const char* speed;
    } cases[] = {
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", "language_basic_de.txt", "Geschwindigkeit"},
        {nullptr, nullptr, "de_AT.UTF-8@euro", "fr_FR.UTF-8", "language_basic_de.txt", "Geschwindigkeit"},
        {"fr:de", nullptr, nullptr, "fr_FR.UTF-8", "language_basic_de.txt", "Geschwindigkeit"},
        {"en:de", nullptr, nullptr, "de_DE.UTF-8", "language_basic.txt", "Speed"},
        {"de", "C", nullptr, "de_DE.UTF-8", "language_basic.txt", "Speed"},
        {nullptr, nullptr, nullptr, "hu_HU.UTF-8", "language_basic.txt", "Speed"},
        {nullptr, nullptr, nullptr, "../../de", "language_basic.txt", "Speed"},
        {nullptr, nullptr, nullptr, nullptr, "language_basic.txt", "Speed"},
    };
    for (const Case& c : cases) {
        test::LocaleVariables locale(c.language, c.all, c.messages, c.lang);
        const std::string which = std::string(c.lang ? c.lang : "-") + " " + (c.language ? c.language : "-");
        Start();
        EXPECT_EQ(translator.FileInUse(), c.file) << which;
        EXPECT_EQ(Translated("Player Control Dialog-Speed", ">Sebesség>"), c.speed) << which;
        translator.Shutdown();
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName, false));
    }
    EXPECT_EQ(File(), english);
    EXPECT_EQ(File("language_basic_de.txt"), german);

    // A key the German file lacks is added there, with its built-in wording.
    test::LocaleVariables locale(nullptr, nullptr, nullptr, "de_DE.UTF-8");
    Start();
    EXPECT_EQ(Translated("Remote Login Dialog-Stream port:", "Stream port:"), "Stream port:");
    EXPECT_EQ(File("language_basic_de.txt"), german + ";Remote Login Dialog-Stream port:;Stream port:;\r\n");
    EXPECT_EQ(File(), english);
}

TEST(DictionaryText, IsUtf8WithoutControlCharacters) {
    for (const char* good : {"", ";A;B;\r\n", "\xEF\xBB\xBF;Speed;Sebess\xC3\xA9g;\t", ";K;\xF0\x9F\x93\xB7;"})
        EXPECT_EQ(DictionaryTextProblem(good), "") << good;
    const std::pair<std::string, const char*> bad[] = {
        {";A;\xE9t\xE9;", "not UTF-8 at byte 3"},       // Latin-1
        {";A;\xC0\xAF;", "not UTF-8 at byte 3"},         // overlong
        {";A;\xED\xA0\x80;", "not UTF-8 at byte 3"},     // a surrogate
        {";A;\xC3", "not UTF-8 at byte 3"},              // cut short
        {std::string(";A;B\0;", 6), "a control character at byte 4"},
        {";A;\x1B[0m;", "a control character at byte 3"},
    };
    for (const auto& [text, problem] : bad) EXPECT_EQ(DictionaryTextProblem(text), problem) << problem;
}

TEST_F(Translator, AFileThatCannotBeUsedLeavesTheBuiltInWordingAndSaysSo) {
    // A good file at a later place must not take over from the one found first.
    const std::string later = DictionaryPlaces()[3];
    test::WriteWholeFile(later, ";A;later;");
    const std::string latin1 = ";A;\xE9t\xE9;\n;Player Control Dialog-Speed;Sebess\xE9g;";
    static const char kGarbage[] = "\x7F" "ELF\x02\x01\0\0;A;B;\xFF\xFE;C;D;";
    const std::string garbage(kGarbage, sizeof kGarbage - 1);
    const std::string huge(kMaxDictionaryFileSize + 1, 'x');
    const struct {
        const std::string* text;  // null: a folder of the file's name
        const char* says;
    } cases[] = {{&latin1, "not UTF-8"}, {&garbage, "control character"}, {&huge, "larger than"}, {nullptr, "directory"}};
    for (const auto& c : cases) {
        if (c.text) {
            test::WriteWholeFile(kDictionaryFileName, *c.text);
        } else {
            std::filesystem::create_directory(kDictionaryFileName);
        }
        ::testing::internal::CaptureStderr();
        Start();
        const std::string note = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(note.find(std::string("dictionary ") + kDictionaryFileName + " is not used"), std::string::npos) << note;
        EXPECT_NE(note.find(c.says), std::string::npos) << note;
        EXPECT_EQ(translator.EntryCount(), 0u) << c.says;
        EXPECT_EQ(Translated("A", "a"), "a") << c.says;
        EXPECT_EQ(Translated("Player Control Dialog-Speed", ">Sebesség>"), ">Sebesség>") << c.says;
        if (c.text) {
            EXPECT_EQ(File(), *c.text) << "learned keys are not written to a file not used";
        }
        translator.Shutdown();
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName, false));
        std::filesystem::remove_all(kDictionaryFileName);
    }
    EXPECT_EQ(File(later), ";A;later;");
}
