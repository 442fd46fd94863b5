#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jnx/codec.h"
#include "jnx/modif.h"
#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace {

using fixture::Bytes;
using fixture::JnxRecipe;

struct Loaded {
    fixture::BuiltJnx built;
    std::string path;
    jnx::JnxDocument doc;
};

Loaded Load(const fixture::TempDir& dir, const JnxRecipe& recipe) {
    Loaded l;
    l.built = fixture::BuildJnx(recipe);
    l.path = dir.file("MAP.jnx");
    fixture::WriteBytes(l.path, l.built.bytes);
    std::int32_t total = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(l.doc, l.path, total, error, true)) << error;
    l.doc.FileName = l.path;
    return l;
}

class ModifTest : public ::testing::TestWithParam<int> {};

TEST_P(ModifTest, ChangesOnlyTheListedBytes) {
    fixture::TempDir dir;
    auto l = Load(dir, fixture::SimpleRecipe(GetParam(), 3, 4));
    ASSERT_FALSE(l.doc.NeedsRegeneration);
    l.doc.Header.DrawOrder = 44;

    jnx::FixedEditorValues values;
    values.productId = " 123 ";
    values.familyGroup = "A longer family group name than before";
    values.scaleChoice[0] = 9000;
    values.priority[0] = true;   // lowers the chosen scale by one
    values.priority[1] = true;   // no choice: the stored scale stays, priority ignored
    values.scaleChoice[2] = 500;
    std::string error;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, values, l.path, {}, error)) << error;

    const Bytes after = fixture::ReadBytes(l.path);
    ASSERT_EQ(after.size(), l.built.bytes.size());
    auto allowed = [&](std::int64_t pos) {
        if (pos >= 32 && pos < 36) return true;
        if (GetParam() == 4 && pos >= 48 && pos < 52) return true;
        for (auto s : l.built.scalePositions)
            if (pos >= s && pos < s + 4) return true;
        return pos >= l.built.groupNamePos && pos < l.built.blockStart + 1024;
    };
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != l.built.bytes[i]) {
            ASSERT_TRUE(allowed(std::int64_t(i))) << "byte " << i << " changed";
        }
    }

    jnx::JnxDocument back;
    std::int32_t total = 0;
    ASSERT_TRUE(jnx::ReadJnx(back, l.path, total, error, true)) << error;
    EXPECT_EQ(back.Header.ProductId, 123);
    EXPECT_EQ(back.Header.DrawOrder, GetParam() == 4 ? 44 : 25);
    EXPECT_EQ(back.Levels[0].Scale, 8999);
    EXPECT_EQ(back.Levels[1].Scale, l.doc.Levels[1].Scale);
    EXPECT_EQ(back.Levels[2].Scale, 500);
    EXPECT_EQ(jnx::DecodeText(back.MapInfo.GroupName, true), values.familyGroup);
    EXPECT_FALSE(back.NeedsRegeneration);
    EXPECT_EQ(back.CheckPointsImages.size(), l.doc.CheckPointsImages.size());
    // The model keeps the read header and levels but carries the new block.
    EXPECT_EQ(l.doc.Levels[0].Scale, 76437);
    EXPECT_EQ(l.doc.MapInfo.GroupName, back.MapInfo.GroupName);
    EXPECT_EQ(l.doc.Padding.size(), back.Padding.size());
}

TEST_P(ModifTest, EmptyTextsKeepStoredValuesBitForBit) {
    fixture::TempDir dir;
    JnxRecipe recipe = fixture::SimpleRecipe(GetParam(), 2, 2);
    recipe.productId = 100000;             // beyond 16 bits, as other producers write
    recipe.groupName = "Caf\xE9 Gruppe";   // Windows-1252, not valid UTF-8
    auto l = Load(dir, recipe);
    const Bytes storedGroup = l.doc.MapInfo.GroupName;

    jnx::FixedEditorValues values;
    values.familyGroup = "   ";
    std::string error;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, values, l.path, {}, error)) << error;
    EXPECT_EQ(fixture::ReadBytes(l.path), l.built.bytes);

    // The decoded name typed back unchanged keeps the stored bytes too.
    values.familyGroup = jnx::DecodeText(storedGroup, true);
    ASSERT_TRUE(jnx::ModifJNX(l.doc, values, l.path, {}, error)) << error;
    EXPECT_EQ(fixture::ReadBytes(l.path), l.built.bytes);
}

TEST_P(ModifTest, ZoomNumbersOnlyFromTheEditorInPresetMode) {
    fixture::TempDir dir;
    auto l = Load(dir, fixture::SimpleRecipe(GetParam(), 6, 1));
    jnx::FixedEditorValues values;
    for (int k = 0; k < 5; ++k) {
        values.zoomText[k] = std::to_string(20 + k);
        values.scaleChoice[k] = 1000 + k;
    }
    std::string error;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, values, l.path, {2, jnx::kDefaultBlockSize}, error)) << error;
    jnx::JnxDocument back;
    std::int32_t total = 0;
    ASSERT_TRUE(jnx::ReadJnx(back, l.path, total, error, true));
    EXPECT_EQ(back.LevelInfos[0].Zoom, 1);  // batch window: stored zooms stay

    values.editorWindow = true;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, values, l.path, {2, jnx::kDefaultBlockSize}, error)) << error;
    ASSERT_TRUE(jnx::ReadJnx(back, l.path, total, error, true));
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(back.LevelInfos[std::size_t(k)].Zoom, 20 + k);
        EXPECT_EQ(back.Levels[std::size_t(k)].Scale, 1000 + k);
    }
    // The sixth level has no controls: its stored scale and zoom stay.
    EXPECT_EQ(back.LevelInfos[5].Zoom, 6);
    EXPECT_EQ(back.Levels[5].Scale, 75);
}

TEST_P(ModifTest, BadValuesAreRefusedBeforeAnyWrite) {
    fixture::TempDir dir;
    auto l = Load(dir, fixture::SimpleRecipe(GetParam(), 2, 2));
    struct Case {
        const char* what;
        jnx::FixedEditorValues values;
        int userLevel;
    };
    std::vector<Case> cases(5);
    cases[0].what = "product 40000";
    cases[0].values.productId = "40000";
    cases[1].what = "product not a number";
    cases[1].values.productId = "12a";
    cases[2].what = "zoom not a number";
    cases[2].values.editorWindow = true;
    cases[2].values.zoomText[0] = "x";
    cases[2].values.zoomText[1] = "3";
    cases[2].userLevel = 2;
    cases[3].what = "zoom 32768";
    cases[3].values.editorWindow = true;
    cases[3].values.zoomText[0] = "1";
    cases[3].values.zoomText[1] = "32768";
    cases[3].userLevel = 2;
    cases[4].what = "block of 1024 bytes or more";
    cases[4].values.familyGroup = std::string(1000, 'g');
    for (auto& c : cases) {
        std::string error;
        EXPECT_FALSE(jnx::ModifJNX(l.doc, c.values, l.path, {c.userLevel, jnx::kDefaultBlockSize}, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(fixture::ReadBytes(l.path), l.built.bytes) << c.what;
    }
}

TEST_P(ModifTest, FailedVerificationPutsTheFileBack) {
    fixture::TempDir dir;
    auto l = Load(dir, fixture::SimpleRecipe(GetParam(), 3, 2));
    l.doc.CheckPointsTiles[1].Value ^= 0x5a5a;
    jnx::FixedEditorValues values;
    values.productId = "5";
    values.familyGroup = "Another group";
    values.scaleChoice[0] = 77;
    std::string error;
    EXPECT_FALSE(jnx::ModifJNX(l.doc, values, l.path, {}, error));
    EXPECT_EQ(error, "ModifJNX::CheckPointsTiles error.");
    EXPECT_EQ(fixture::ReadBytes(l.path), l.built.bytes);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"MAP.jnx"});
}

TEST_P(ModifTest, FileChangedSinceTheReadIsLeftAlone) {
    fixture::TempDir dir;
    auto l = Load(dir, fixture::SimpleRecipe(GetParam(), 2, 2));
    // Another program rewrote the block: the identifier is no longer where it was read.
    Bytes changed = l.built.bytes;
    changed[std::size_t(l.built.blockStart + 4)] ^= 0x20;
    fixture::WriteBytes(l.path, changed);
    jnx::FixedEditorValues values;
    values.productId = "9";
    std::string error;
    EXPECT_FALSE(jnx::ModifJNX(l.doc, values, l.path, {}, error));
    EXPECT_EQ(fixture::ReadBytes(l.path), changed);
}

INSTANTIATE_TEST_SUITE_P(Versions, ModifTest, ::testing::Values(3, 4),
                         [](const auto& p) { return "v" + std::to_string(p.param); });

}  // namespace
