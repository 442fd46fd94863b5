// Malformed variants of valid files: every int32 field set to hostile values, the file
// cut at every structure boundary, texts left unterminated. Whatever the reader returns,
// it must not crash, must leave the file alone, and a success must describe a file
// whose every recorded offset lies inside it.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"

namespace {

using fixture::Bytes;

struct Layout {
    fixture::BuiltJnx built;
    std::vector<std::int64_t> intFields;    // every int32 field of the file
    std::vector<std::int64_t> boundaries;   // where each structure begins
    std::vector<std::int64_t> textStarts;   // where each zstring of the block begins
};

fixture::JnxRecipe BaseSpec(int version) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, 2, 3);
    recipe.signature = {9, 8, 7};
    return recipe;
}

Layout Describe(const fixture::JnxRecipe& recipe) {
    Layout layout;
    layout.built = fixture::BuildJnx(recipe);
    const auto& b = layout.built;
    auto& f = layout.intFields;
    auto& edges = layout.boundaries;

    const int headerEnd = recipe.version == 4 ? 52 : 48;
    for (int pos = 0; pos < headerEnd; pos += 4) f.push_back(pos);
    edges.push_back(0);
    edges.push_back(headerEnd);
    for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
        const std::int64_t scale = b.scalePositions[i];
        f.insert(f.end(), {scale - 8, scale - 4, scale});
        edges.push_back(scale - 8);
        if (recipe.version == 4) f.push_back(scale + 4);
    }

    std::int64_t pos = b.blockStart;
    edges.push_back(pos);
    f.push_back(pos);  // BlockVersion
    pos += 4;
    for (const std::string* text : {&recipe.guid, &recipe.groupName}) {
        layout.textStarts.push_back(pos);
        pos += std::int64_t(text->size()) + 1;
    }
    pos += 3;
    layout.textStarts.push_back(pos);
    pos += std::int64_t(recipe.mapTitle.size()) + 1;
    f.push_back(pos);  // InfoLevelCount
    pos += 4;
    for (const auto& level : recipe.levels) {
        edges.push_back(pos);
        for (const std::string* text : {&level.name, &level.description, &level.copyright}) {
            layout.textStarts.push_back(pos);
            pos += std::int64_t(text->size()) + 1;
        }
        f.push_back(pos);  // Zoom
        pos += 4;
    }
    edges.push_back(pos);

    for (std::size_t t = 0; t < b.dataOffsets.size(); ++t) {
        const std::int64_t entry = b.firstTableOffset + std::int64_t(t) * 28;
        edges.push_back(entry);
        for (int k = 0; k < 28; k += 4) f.push_back(entry + k);
    }
    for (auto offset : b.dataOffsets) edges.push_back(offset);
    edges.push_back(std::int64_t(b.bytes.size()) - 8);  // trailer
    return layout;
}

class HostileReadTest : public ::testing::TestWithParam<int> {
protected:
    // Reads the variant quick and full; returns the outcomes (quick, full).
    std::pair<bool, bool> ReadBoth(const Bytes& bytes, const std::string& what) {
        fixture::WriteBytes(path_, bytes);
        bool results[2];
        for (const bool full : {false, true}) {
            jnx::JnxDocument doc;
            std::string errorText = "unset";
            std::int32_t total = -1;
            const bool ok = jnx::ReadJnx(doc, path_, total, errorText, full);
            results[full] = ok;
            if (ok) {
                EXPECT_EQ(errorText, "unset") << what;
                CheckModel(doc, total, std::int64_t(bytes.size()), full, what);
            } else {
                EXPECT_NE(errorText, "unset") << what;
                EXPECT_FALSE(errorText.empty()) << what;
            }
        }
        EXPECT_EQ(fixture::ReadBytes(path_), bytes) << what << ": the reader changed the file";
        return {results[0], results[1]};
    }

    static void CheckModel(const jnx::JnxDocument& doc, std::int32_t total, std::int64_t length, bool full,
                           const std::string& what) {
        const auto levels = std::size_t(doc.Header.LevelCount);
        ASSERT_EQ(doc.Levels.size(), levels) << what;
        ASSERT_EQ(doc.LevelInfos.size(), levels) << what;
        ASSERT_EQ(doc.LevelExtras.size(), levels) << what;
        std::int64_t sum = 0;
        for (const auto& level : doc.Levels) sum += level.TileCount;
        EXPECT_EQ(sum, total) << what;
        if (!full) return;
        ASSERT_EQ(doc.Tiles.size(), std::size_t(total)) << what;
        ASSERT_EQ(doc.CheckPointsImages.size(), std::size_t(total)) << what;
        ASSERT_EQ(doc.Previews.size(), levels) << what;
        for (const auto& tile : doc.Tiles) {
            EXPECT_GT(tile.DataSize, 0) << what;
            EXPECT_GE(tile.DataOffset, 0) << what;
            EXPECT_LE(std::int64_t(tile.DataOffset) + tile.DataSize, length) << what;
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
    const Layout layout = Describe(BaseSpec(GetParam()));
    const Bytes& good = layout.built.bytes;
    ASSERT_EQ(ReadBoth(good, "unchanged"), std::make_pair(true, true));

    const auto length = std::int32_t(good.size());
    int failures = 0;
    for (const auto pos : layout.intFields) {
        for (const std::int32_t value : {0, -1, INT_MIN, INT_MAX, length + 1}) {
            Bytes bytes = good;
            platform::StoreI32(bytes.data() + pos, value);
            const auto [quick, full] =
                ReadBoth(bytes, "int32 at " + std::to_string(pos) + " = " + std::to_string(value));
            failures += !full;
            // A broken structure that the quick read does not reach may still pass it,
            // but the full read never passes where the quick read failed.
            if (!quick) {
                EXPECT_FALSE(full) << "int32 at " << pos;
            }
        }
    }
    EXPECT_GT(failures, 0);
}

TEST_P(HostileReadTest, HostileCountsFailBothReads) {
    const Layout layout = Describe(BaseSpec(GetParam()));
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
    const Layout layout = Describe(BaseSpec(GetParam()));
    const Bytes& good = layout.built.bytes;
    std::set<std::int64_t> cuts(layout.boundaries.begin(), layout.boundaries.end());
    for (std::int64_t n = 1; n < std::int64_t(good.size()); n += 23) cuts.insert(n);
    for (const auto cut : std::set<std::int64_t>(cuts)) {
        cuts.insert(cut - 1);
        cuts.insert(cut + 1);
    }
    const std::int64_t blockEnd = layout.built.firstTableOffset;
    for (const auto cut : cuts) {
        if (cut < 0 || cut >= std::int64_t(good.size())) continue;
        const Bytes bytes(good.begin(), good.begin() + cut);
        const auto [quick, full] = ReadBoth(bytes, "cut at " + std::to_string(cut));
        // The trailer is at the end, so no shortened file is whole.
        EXPECT_FALSE(full) << "cut at " << cut;
        if (cut < blockEnd - 4) {
            EXPECT_FALSE(quick) << "cut at " << cut;
        }
    }
}

TEST_P(HostileReadTest, UnterminatedAndOverlongTexts) {
    const fixture::JnxRecipe recipe = BaseSpec(GetParam());
    const Layout layout = Describe(recipe);
    const Bytes& good = layout.built.bytes;
    // Every byte from a text's start to the end of the file made non-zero.
    for (const auto start : layout.textStarts) {
        Bytes bytes = good;
        for (auto i = std::size_t(start); i < bytes.size(); ++i) bytes[i] |= 0x40;
        EXPECT_EQ(ReadBoth(bytes, "text at " + std::to_string(start)), std::make_pair(false, false));
    }
    // A text past the longest one the format allows, though the file is long enough.
    fixture::JnxRecipe longTitle = recipe;
    longTitle.mapTitle = std::string(40000, 't');
    longTitle.gap = 0;
    EXPECT_EQ(ReadBoth(fixture::BuildJnx(longTitle).bytes, "overlong title"), std::make_pair(false, false));
}

TEST_P(HostileReadTest, FileWithoutBlockAndHostileTableOffset) {
    fixture::JnxRecipe recipe = BaseSpec(GetParam());
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
