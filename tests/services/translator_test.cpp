#include <gtest/gtest.h>

#include <cstring>
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
    ASSERT_EQ(places.size(), 5u);
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
