#include <gtest/gtest.h>

#include <set>

#include "archive/ArchiveRecords.h"
#include "recorder/folder/SourceIds.h"

namespace corvanta::recorder::folder {
namespace {

bool travelsSafely(const std::string& id) {
    if (id.empty() || id.size() > kMaxSourceIdBytes || id.size() >= sizeof(TimeQuery{}.sourceId)) return false;
    for (char c : id)
        if (c <= 0x20 || c >= 0x7F || c == '\\') return false;
    return true;
}

std::string idOf(const SourceIds& ids, const std::string& folder) {
    const SourceName* s = ids.byFolder(folder);
    return s ? s->sourceId : "<none>";
}

TEST(SourceIds, ShortPlainNamesAreTheirOwnIdsOthersAreHashedAndStable) {
    const std::string longName(80, 'x');
    const std::string latin1 = "Caf\xE9";
    const SourceIds ids({"CAM01", "Front door", "back\\yard", latin1, longName, "CAM01"});
    EXPECT_EQ(ids.sources().size(), 5u) << "duplicates count once";
    EXPECT_EQ(idOf(ids, "CAM01"), "CAM01");
    EXPECT_EQ(idOf(ids, "Front door").substr(0, 11), "Front_door~");
    EXPECT_EQ(idOf(ids, "back\\yard").substr(0, 10), "back_yard~");
    EXPECT_EQ(idOf(ids, latin1).substr(0, 4), "Caf_");
    EXPECT_EQ(idOf(ids, longName).size(), kMaxSourceIdBytes);
    for (const SourceName& s : ids.sources()) {
        EXPECT_TRUE(travelsSafely(s.sourceId)) << s.sourceId;
        EXPECT_EQ(ids.byId(s.sourceId), &s);
    }
    // The same names with other cameras beside them keep their ids.
    const SourceIds other({"Front door", "garage", latin1, "CAM01"});
    for (const std::string& name : {std::string("Front door"), latin1, std::string("CAM01")})
        EXPECT_EQ(idOf(other, name), idOf(ids, name)) << name;
    EXPECT_EQ(ids.byId("nope"), nullptr);
}

TEST(SourceIds, ClashesAfterSanitisingOrCaseAreResolvedDeterministically) {
    // Same sanitised prefix ("a_b"), names equal but for case, and a plain
    // name that looks like a hashed id: every id stays distinct ignoring case.
    const std::vector<std::string> names = {"a b", "a\tb", "a\xFF" "b", "Cam", "cam", "CAM", "a_b"};
    const SourceIds ids(names);
    std::set<std::string> folded;
    for (const SourceName& s : ids.sources()) {
        std::string f = s.sourceId;
        for (char& c : f) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(folded.insert(f).second) << "clash: " << s.sourceId;
        EXPECT_TRUE(travelsSafely(s.sourceId));
    }
    EXPECT_EQ(idOf(ids, "a_b"), "a_b");
    EXPECT_NE(idOf(ids, "cam"), "cam") << "names equal ignoring case all get hashed ids";
    // The order names arrive in does not matter.
    const SourceIds reversed(std::vector<std::string>(names.rbegin(), names.rend()));
    for (const std::string& name : names) EXPECT_EQ(idOf(reversed, name), idOf(ids, name));

    // Two long names whose hashes fold to the same 8 digits: the one first
    // in byte order keeps the plain hashed id, the other is hashed again.
    const std::string first = std::string(64, 'x') + "45712", second = std::string(64, 'x') + "73735";
    const SourceIds colliding({second, first});
    EXPECT_EQ(fnv1a64(first) >> 32 ^ (fnv1a64(first) & 0xFFFFFFFF), fnv1a64(second) >> 32 ^ (fnv1a64(second) & 0xFFFFFFFF));
    EXPECT_NE(idOf(colliding, first), idOf(colliding, second));
    EXPECT_EQ(idOf(colliding, first), idOf(SourceIds({first}), first));
    EXPECT_EQ(idOf(colliding, second).size(), kMaxSourceIdBytes);
}

TEST(SourceIds, DisplayNamesCutOnCharacterBoundaries) {
    EXPECT_EQ(displayNameOf("Front door"), "Front door");
    std::string euros;
    for (int i = 0; i < 100; ++i) euros += "\xE2\x82\xAC";  // 300 bytes of UTF-8
    const std::string cut = displayNameOf(euros);
    EXPECT_EQ(cut.size(), 204u) << "68 whole characters, not 206 bytes";
    EXPECT_EQ(euros.substr(0, cut.size()), cut);
    const std::string bytes = std::string(300, '\xE9');  // not UTF-8: cut at the field's size
    EXPECT_EQ(displayNameOf(bytes).size(), kMaxDisplayNameBytes);
    EXPECT_LT(kMaxDisplayNameBytes, sizeof(SourceEntry{}.displayName));
}

}  // namespace
}  // namespace corvanta::recorder::folder
