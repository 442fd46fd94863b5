#include <gtest/gtest.h>

#include <limits>
#include <set>

#include "jnx/codec.h"
#include "platform/text.h"

namespace {

using jnx::Bytes;

Bytes B(std::initializer_list<int> values) { return Bytes(values.begin(), values.end()); }

const std::string kReplacement = "\xEF\xBF\xBD";

// Texts as the program holds them (UTF-8) against their bytes in a file of either encoding.
TEST(TextCodec, EncodeAndDecode) {
    struct Case {
        std::string text;
        bool utf8;
        Bytes encoded;
    };
    const Case both[] = {
        {"", false, B({0})},
        {"A\xC3\xB1o", true, B({0x41, 0xC3, 0xB1, 0x6F, 0x00})},
        {"A\xC3\xB1o", false, B({0x41, 0xF1, 0x6F, 0x00})},
    };
    for (const auto& c : both)
        EXPECT_EQ(std::pair(jnx::EncodeText(c.text, c.utf8), jnx::DecodeText(c.encoded, c.utf8)),
                  std::pair(c.encoded, c.text));
    // No ANSI byte for a CJK character: a stand-in, never a dropped character; and broken
    // UTF-8 never reaches a file.
    EXPECT_EQ(jnx::EncodeText("\xE6\x97\xA5", false), B({'?', 0x00}));
    EXPECT_EQ(jnx::EncodeText(std::string("a\xFF" "b"), true), B({'a', 0xEF, 0xBF, 0xBD, 'b', 0}));

    const std::pair<Bytes, std::string> decodedUtf8[] = {
        {Bytes{}, ""},
        {B({'a', 0, 0}), std::string("a\0", 2)},  // only one final zero goes
        // One replacement per broken sequence; the byte after a broken lead survives.
        {B({'x', 0xC3, 0x28, 0xED, 0xA0, 0x80, 0}), "x" + kReplacement + "(" + kReplacement},
    };
    for (const auto& [bytes, text] : decodedUtf8) EXPECT_EQ(jnx::DecodeText(bytes, true), text);
    EXPECT_EQ(jnx::DecodeText(B({'A', 0xF1, 0, 'o', 0x80, 0}), false), "A\xC3\xB1o\xE2\x82\xAC");  // zeros skipped
}

TEST(NewGuidText, VersionBitsAndUniqueness) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string text = jnx::NewGuidText();
        ASSERT_EQ(text.size(), 36u);
        // Memory order: the version nibble is the high one of byte 7, which is printed at 16.
        EXPECT_EQ(text[16], '4') << text;
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(Numbers, WholeNumbersWithinTheLimits) {
    EXPECT_EQ(platform::ParseInt16(" \t-32768 "), std::int16_t{-32768});
    EXPECT_FALSE(platform::ParseInt16("32768"));
    EXPECT_EQ(platform::ParseInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(platform::ParseInt32("2147483648"));
    for (const char* text : {"", " ", "+", "-", "+-1", "--1", "1.0", "1e3", "12a", "0x10", "1 2", "\xEF\xBC\x91"})
        EXPECT_FALSE(platform::ParseInt32(text) || platform::ParseInt16(text)) << text;
    EXPECT_EQ(platform::Trim(" \t a b \t"), "a b");
}

}  // namespace
