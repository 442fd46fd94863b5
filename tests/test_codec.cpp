#include <gtest/gtest.h>

#include <set>

#include "jnx/codec.h"
#include "edit/user_input.h"
#include "platform/guid.h"

namespace {

using jnx::Bytes;

Bytes B(std::initializer_list<int> values) {
    Bytes out;
    for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(EncodeText, EmptyTextIsOneZeroByteInBothEncodings) {
    EXPECT_EQ(jnx::EncodeText("", true), B({0}));
    EXPECT_EQ(jnx::EncodeText("", false), B({0}));
}

TEST(EncodeText, Utf8AndAnsiBytesWithOneTerminator) {
    EXPECT_EQ(jnx::EncodeText("A\xC3\xB1o", true), B({0x41, 0xC3, 0xB1, 0x6F, 0x00}));
    EXPECT_EQ(jnx::EncodeText("A\xC3\xB1o", false), B({0x41, 0xF1, 0x6F, 0x00}));
    // The euro sign lies in the 0x80..0x9F block that differs from Latin-1.
    EXPECT_EQ(jnx::EncodeText("\xE2\x82\xAC", false), B({0x80, 0x00}));
    // No ANSI byte for a CJK character: a stand-in, never a dropped character.
    EXPECT_EQ(jnx::EncodeText("\xE6\x97\xA5", false), B({'?', 0x00}));
}

TEST(EncodeText, BrokenUtf8NeverReachesTheFile) {
    const Bytes encoded = jnx::EncodeText(std::string("a\xFF" "b"), true);
    EXPECT_EQ(encoded, B({'a', 0xEF, 0xBF, 0xBD, 'b', 0}));
}

TEST(DecodeText, RemovesOnlyOneFinalZero) {
    EXPECT_EQ(jnx::DecodeText(B({'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'}), true), "BirdsEye");
    EXPECT_EQ(jnx::DecodeText(B({'a', 0}), true), "a");
    EXPECT_EQ(jnx::DecodeText(B({'a', 0, 0}), true), std::string("a\0", 2));
    EXPECT_EQ(jnx::DecodeText(B({0x41, 0xC3, 0xB1, 0x6F, 0x00}), true), "A\xC3\xB1o");
}

TEST(DecodeText, EmptyAndLoneTerminatorGiveEmptyText) {
    EXPECT_EQ(jnx::DecodeText(Bytes{}, true), "");
    EXPECT_EQ(jnx::DecodeText(B({0}), true), "");
    EXPECT_EQ(jnx::DecodeText(Bytes{}, false), "");
    EXPECT_EQ(jnx::DecodeText(B({0}), false), "");
}

TEST(DecodeText, InvalidUtf8BecomesReplacementCharacters) {
    const std::string text = jnx::DecodeText(B({'x', 0xC3, 0x28, 0xED, 0xA0, 0x80, 0}), true);
    EXPECT_EQ(text.substr(0, 4), "x\xEF\xBF\xBD");
    EXPECT_EQ(text.back(), '\xBD');
    EXPECT_NE(text.find('('), std::string::npos);  // the byte after a broken lead survives
}

TEST(DecodeText, AnsiSkipsZerosAndMapsTheCodePage) {
    EXPECT_EQ(jnx::DecodeText(B({'A', 0xF1, 0, 'o', 0x80, 0}), false), "A\xC3\xB1o\xE2\x82\xAC");
    EXPECT_EQ(jnx::DecodeText(B({0x81}), false), "\xEF\xBF\xBD");  // undefined in the code page
}

TEST(DecodeText, RoundTripsEveryAnsiByte) {
    Bytes all;
    for (int b = 1; b < 256; ++b) {
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) all.push_back(static_cast<std::uint8_t>(b));
    }
    Bytes withTerminator = all;
    withTerminator.push_back(0);
    EXPECT_EQ(jnx::EncodeText(jnx::DecodeText(withTerminator, false), false), withTerminator);
}

TEST(DecodeText, SurvivesEveryTwoByteString) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; b += 7) {
            const Bytes bytes = B({a, b});
            (void)jnx::DecodeText(bytes, true);
            (void)jnx::DecodeText(bytes, false);
        }
    }
}

TEST(NewGuidText, ShapeAndVersionBits) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string text = jnx::NewGuidText();
        ASSERT_EQ(text.size(), 36u);
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23) {
                EXPECT_EQ(text[k], '-') << text;
            } else {
                EXPECT_TRUE((text[k] >= '0' && text[k] <= '9') || (text[k] >= 'A' && text[k] <= 'F')) << text;
            }
        }
        // Memory order: the version nibble is the high one of byte 7, which is printed at 16.
        EXPECT_EQ(text[16], '4') << text;
        EXPECT_TRUE(text[19] == '8' || text[19] == '9' || text[19] == 'A' || text[19] == 'B') << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(Numbers, Int16AndInt32Limits) {
    EXPECT_EQ(edit::ParseInt16(" \t-32768 "), std::int16_t{-32768});
    EXPECT_EQ(edit::ParseInt16("+32767"), std::int16_t{32767});
    EXPECT_FALSE(edit::ParseInt16("32768"));
    EXPECT_EQ(edit::ParseInt32("2147483647"), 2147483647);
    EXPECT_EQ(edit::ParseInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(edit::ParseInt32("2147483648"));
    EXPECT_FALSE(edit::ParseInt32("99999999999999999999999"));
}

TEST(Numbers, RejectsAnythingButAWholeNumber) {
    for (const char* text : {"", " ", "+", "-", "+-1", "--1", "1.0", "1e3", "12a", "0x10", "1 2", "\xEF\xBC\x91"}) {
        EXPECT_FALSE(edit::ParseInt32(text)) << text;
        EXPECT_FALSE(edit::ParseInt16(text)) << text;
    }
    EXPECT_EQ(edit::Trim(" \t a b \t"), "a b");
}

}  // namespace
