#include <gtest/gtest.h>

#include <cstring>

#include "stores/CTaggedValue.h"

using namespace corvanta;

TEST(TaggedValue, EachConstructorMakesItsTypeAndBytes) {
    CTaggedValue empty;
    EXPECT_EQ(empty.Type(), 0u);
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_EQ(empty.Data(), nullptr);

    CTaggedValue u(uint32_t(0x01020304));
    EXPECT_EQ(u.Type(), 1u);
    ASSERT_EQ(u.Size(), 4u);
    EXPECT_EQ(u.Data()[0], 0x04);

    CTaggedValue s(int32_t(-1));
    EXPECT_EQ(s.Type(), 2u);
    EXPECT_EQ(*s.AsWord(), -1);

    CTaggedValue t(std::string_view("abc"));
    EXPECT_EQ(t.Type(), 3u);
    ASSERT_EQ(t.Size(), 4u);
    EXPECT_STREQ(reinterpret_cast<char*>(t.Data()), "abc");

    CTaggedValue e(std::string_view(""));
    EXPECT_EQ(e.Type(), 3u);
    ASSERT_EQ(e.Size(), 2001u);
    for (uint32_t i = 0; i < 2001; ++i) ASSERT_EQ(e.Data()[i], 0) << i;

    CTaggedValue p4(uint32_t(1), uint32_t(2)), p5(int32_t(-3), int32_t(4));
    EXPECT_EQ(p4.Type(), 4u);
    EXPECT_EQ(p5.Type(), 5u);
    ASSERT_EQ(p5.Size(), 8u);
    int32_t words[2];
    std::memcpy(words, p5.Data(), 8);
    EXPECT_EQ(words[0], -3);
    EXPECT_EQ(words[1], 4);

    CTaggedValue f(TaggedFill{0x5A, 3});
    EXPECT_EQ(f.Type(), 8u);
    ASSERT_EQ(f.Size(), 3u);
    EXPECT_EQ(f.Data()[2], 0x5A);

    platform::SystemTime st{2024, 2, 4, 29, 23, 59, 58, 999};
    CTaggedValue d(st);
    EXPECT_EQ(d.Type(), 11u);
    ASSERT_EQ(d.Size(), 16u);
    EXPECT_EQ(d.AsDateTime()->day, 29);
    EXPECT_EQ(d.AsDateTime()->milliseconds, 999);
}

TEST(TaggedValue, CopiesOwnTheirBytes) {
    CTaggedValue a(uint32_t(7));
    CTaggedValue b(a);
    *b.AsUnsignedWord() = 8;
    EXPECT_EQ(*a.AsUnsignedWord(), 7u);
    CTaggedValue c(std::string_view("xyz"));
    c = a;
    EXPECT_EQ(c.Type(), 1u);
    EXPECT_EQ(c.Size(), 4u);
    *c.AsUnsignedWord() = 9;
    EXPECT_EQ(*a.AsUnsignedWord(), 7u);
    c = c;
    EXPECT_EQ(*c.AsUnsignedWord(), 9u);
}

TEST(TaggedValue, WordAccessorsMakeAZeroWordOfTheirType) {
    CTaggedValue a;
    EXPECT_EQ(*a.AsWord(), 0);
    EXPECT_EQ(a.Type(), 2u);
    CTaggedValue b;
    EXPECT_EQ(*b.AsUnsignedWord(), 0u);
    EXPECT_EQ(b.Type(), 1u);
    CTaggedValue small(TaggedFill{0xFF, 2});
    EXPECT_EQ(*small.AsWord(), 0) << "two bytes hold no word";
    EXPECT_EQ(small.Size(), 4u);
    CTaggedValue keep(int32_t(5));
    *keep.AsWord() += 1;
    EXPECT_EQ(*keep.AsWord(), 6);
    EXPECT_EQ(keep.Type(), 2u);
}

TEST(TaggedValue, DateTimeOfAnEmptyValueIsNow) {
    CTaggedValue v;
    platform::SystemTime* t = v.AsDateTime();
    EXPECT_EQ(v.Type(), 11u);
    EXPECT_EQ(v.Size(), 16u);
    EXPECT_GE(t->year, 2024);
    EXPECT_GE(t->month, 1);
    EXPECT_LE(t->month, 12);
}

TEST(TaggedValue, AsTextOfAnotherTypeBecomesTheEmptyText) {
    CTaggedValue v(uint32_t(0x41414141));
    EXPECT_EQ(v.AsText(), "");
    EXPECT_EQ(v.Type(), 3u);
    EXPECT_EQ(v.Size(), 2001u);
}

TEST(TaggedValue, TextChangedThroughAsTextBecomesTheData) {
    CTaggedValue v(std::string_view("ab"));
    std::string& text = v.AsText();
    EXPECT_EQ(text, "ab");
    text = "longer text";
    ASSERT_EQ(v.Size(), 12u);
    EXPECT_STREQ(reinterpret_cast<char*>(v.Data()), "longer text");
    v.AsText() = "s";
    EXPECT_STREQ(reinterpret_cast<char*>(v.Data()), "s");
    EXPECT_EQ(v.Size(), 2u);
    // An emptied text leaves the data as it was.
    v.AsText().clear();
    EXPECT_EQ(v.Size(), 2u);
}
