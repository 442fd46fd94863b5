// Malformed variants of valid files: every int32 field set to hostile values, the file
// cut at every structure boundary, texts left unterminated. Whatever the reader returns,
// it must not crash, must leave the file alone, and a success must describe a file
// whose every recorded offset lies inside it.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "jnx/reader.h"
#include "platform/le.h"
#include "support/hostile_variants.h"

namespace {

using fixture::Bytes;

class HostileReadTest : public ::testing::TestWithParam<int> {
protected:
    // Reads the variant quick and full; returns the outcomes (quick, full).
    std::pair<bool, bool> ReadBoth(const Bytes& bytes, const std::string& what) {
        fixture::WriteBytes(path_, bytes);
        bool results[2];
        for (const bool full : {false, true}) {
            jnx::JnxDocument doc;
            platform::Error error;
            std::int32_t total = -1;
            const bool ok = jnx::ReadJnx(doc, path_, total, error, full ? jnx::ReadDepth::Full : jnx::ReadDepth::Quick);
            results[full] = ok;
            if (ok) {
                EXPECT_FALSE(error) << what;
                CheckModel(doc, total, std::int64_t(bytes.size()), full, what);
            } else {
                EXPECT_TRUE(error && error.file == path_) << what;  // says why, and of which file
            }
        }
        EXPECT_EQ(fixture::ReadBytes(path_), bytes) << what << ": the reader changed the file";
        return {results[0], results[1]};
    }

    static void CheckModel(const jnx::JnxDocument& doc, std::int32_t total, std::int64_t length, bool full,
                           const std::string& what) {
        const auto levels = std::size_t(doc.Header.LevelCount);
        ASSERT_TRUE(doc.Levels.size() == levels && doc.LevelInfos.size() == levels && doc.LevelExtras.size() == levels)
            << what;
        // A block and its padding always fill the span a rewrite gives them.
        EXPECT_EQ(jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos) + std::int64_t(doc.Padding.size()), 1024) << what;
        std::int64_t sum = 0;
        for (const auto& level : doc.Levels) sum += level.TileCount;
        EXPECT_EQ(sum, total) << what;
        if (!full) return;
        ASSERT_TRUE(doc.Tiles.size() == std::size_t(total) && doc.CheckPointsImages.size() == std::size_t(total) &&
                    doc.Previews.size() == levels)
            << what;
        for (const auto& tile : doc.Tiles) {
            const std::int64_t end = std::int64_t(tile.DataOffset) + tile.DataSize;
            EXPECT_TRUE(tile.DataSize > 0 && end <= length) << what;
        }
        for (std::size_t i = 0; i < levels; ++i) {
            EXPECT_EQ(doc.TileOffset[i], doc.Levels[i].TableOffset) << what;
            EXPECT_EQ(doc.Previews[i].empty(), doc.Levels[i].TileCount == 0) << what;
        }
    }

    fixture::TempDir dir_;
    std::string path_ = dir_.file("hostile.jnx");
};

TEST_P(HostileReadTest, EveryIntFieldWithHostileValues) {
    const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(GetParam()));
    ASSERT_EQ(ReadBoth(layout.built.bytes, "unchanged"), std::make_pair(true, true));

    int failures = 0;
    for (const auto& variant : fixture::IntFieldVariants(layout)) {
        const auto [quick, full] = ReadBoth(variant.bytes, variant.name);
        failures += !full;
        // A broken structure that the quick read does not reach may still pass it,
        // but the full read never passes where the quick read failed.
        if (!quick) {
            EXPECT_FALSE(full) << variant.name;
        }
    }
    EXPECT_GT(failures, 0);
}

TEST_P(HostileReadTest, HostileCountsFailBothReads) {
    const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(GetParam()));
    const Bytes& good = layout.built.bytes;
    // LevelCount and the first level's TileCount.
    for (const std::int64_t pos : {std::int64_t(24), layout.built.scalePositions[0] - 8}) {
        for (const std::int32_t value : {-1, INT_MIN, INT_MAX, std::int32_t(good.size())}) {
            Bytes bytes = good;
            platform::StoreI32(bytes.data() + pos, value);
            EXPECT_EQ(ReadBoth(bytes, "count at " + std::to_string(pos)), std::make_pair(false, false))
                << "count at " << pos << " = " << value;
        }
    }
}

TEST_P(HostileReadTest, TruncatedFiles) {
    const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(GetParam()));
    const std::int64_t blockEnd = layout.built.firstTableOffset;
    for (const auto& variant : fixture::TruncatedVariants(layout)) {
        const auto [quick, full] = ReadBoth(variant.bytes, variant.name);
        // The trailer is at the end, so no shortened file is whole.
        EXPECT_FALSE(full) << variant.name;
        if (variant.at < blockEnd - 4) {
            EXPECT_FALSE(quick) << variant.name;
        }
    }
}

TEST_P(HostileReadTest, UnterminatedAndOverlongTexts) {
    const fixture::JnxRecipe recipe = fixture::HostileBaseRecipe(GetParam());
    for (const auto& variant : fixture::UnterminatedTextVariants(fixture::DescribeHostile(recipe))) {
        EXPECT_EQ(ReadBoth(variant.bytes, variant.name), std::make_pair(false, false)) << variant.name;
    }
    // A text past the longest one the format allows, though the file is long enough.
    fixture::JnxRecipe longTitle = recipe;
    longTitle.mapTitle = std::string(40000, 't');
    longTitle.gap = 0;
    EXPECT_EQ(ReadBoth(fixture::BuildJnx(longTitle).bytes, "overlong title"), std::make_pair(false, false));
}

TEST_P(HostileReadTest, FileWithoutBlockAndHostileTableOffset) {
    fixture::JnxRecipe recipe = fixture::HostileBaseRecipe(GetParam());
    recipe.withMapBlock = false;
    recipe.gap = 40;
    const auto built = fixture::BuildJnx(recipe);
    ASSERT_EQ(ReadBoth(built.bytes, "no block"), std::make_pair(true, true));
    for (const std::int32_t value : {INT_MIN, -1, 0, INT_MAX}) {
        Bytes bytes = built.bytes;
        platform::StoreI32(bytes.data() + built.scalePositions[0] - 4, value);
        EXPECT_FALSE(ReadBoth(bytes, "no block, first table at " + std::to_string(value)).second);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, HostileReadTest, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "v" + std::to_string(p.param); });

}  // namespace
