// The in-place update: only the bytes of the values changed, the file put back as it was
// when a check fails.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "jnx/codec.h"
#include "jnx/modif.h"
#include "support/writer_support.h"

namespace {

using fixture::Bytes;
using fixture::Loaded;
using platform::ErrorCode;

class ModifTest : public ::testing::TestWithParam<int> {};

TEST_P(ModifTest, ChangesOnlyTheListedBytes) {
    Loaded l(fixture::SimpleRecipe(GetParam(), 3, 4));
    ASSERT_FALSE(l.doc.NeedsRegeneration);
    edit::EditRequest request;
    request.productId = 123, request.drawOrder = 44, request.groupName = "A longer family group name than before";
    request.levels[0].scale = 9000, request.levels[0].priority = true, request.levels[2].scale = 500;
    const edit::ResolvedEdit resolved = fixture::Resolve(request, l.doc);
    ASSERT_EQ(resolved.road, edit::Road::Patch);
    platform::Error error;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, resolved.values, l.path, error)) << platform::ErrorText(error);

    const Bytes after = fixture::ReadBytes(l.path);
    ASSERT_EQ(after.size(), l.built.bytes.size());
    auto allowed = [&](std::int64_t pos) {
        if (pos >= 32 && pos < 36) return true;
        if (GetParam() == 4 && pos >= 48 && pos < 52) return true;
        for (auto s : l.built.scalePositions)
            if (pos >= s && pos < s + 4) return true;
        return pos >= l.built.groupNamePos && pos < l.built.blockStart + 1024;
    };
    for (std::size_t i = 0; i < after.size(); ++i)
        ASSERT_TRUE(after[i] == l.built.bytes[i] || allowed(std::int64_t(i))) << "byte " << i << " changed";

    const jnx::JnxDocument back = fixture::ReadFull(l.path);
    EXPECT_EQ(std::tuple(back.Header.ProductId, back.Header.DrawOrder, back.Levels[0].Scale, back.Levels[2].Scale,
                         jnx::DecodeText(back.MapInfo.GroupName, true)),
              std::tuple(123, GetParam() == 4 ? 44 : 25, 8999, 500, request.groupName));
    // The document holds what was written.
    EXPECT_EQ(std::pair(l.doc.MapInfo.GroupName, l.doc.Padding.size()),
              std::pair(back.MapInfo.GroupName, back.Padding.size()));
}

TEST_P(ModifTest, UnchangedValuesKeepTheFileBitForBit) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(GetParam(), 2, 2);
    recipe.productId = 100000;
    recipe.groupName = "Caf\xE9 Gruppe";
    Loaded l(recipe);
    platform::Error error;
    ASSERT_TRUE(jnx::ModifJNX(l.doc, fixture::Resolve({}, l.doc).values, l.path, error)) << platform::ErrorText(error);
    EXPECT_EQ(fixture::ReadBytes(l.path), l.built.bytes);
}

TEST_P(ModifTest, RefusalsAndFailedChecksLeaveTheFileAsItWas) {
    struct Case { const char* what; void (*spoil)(Loaded&, jnx::WriteValues&); ErrorCode code; };
    const std::vector<Case> cases = {
        {"block of 1024 bytes or more",
         [](Loaded&, jnx::WriteValues& v) { v.groupName = jnx::EncodeText(std::string(1000, 'g'), true); },
         ErrorCode::MapBlockOverflow},
        {"tile table other than read", [](Loaded& l, jnx::WriteValues&) { l.doc.CheckPointsTiles[1].Value ^= 0x5a5a; },
         ErrorCode::FileChanged},
        {"file needs rewriting", [](Loaded& l, jnx::WriteValues&) { l.doc.NeedsRegeneration = true; },
         ErrorCode::CannotPatch},
        {"block changed since the read",
         [](Loaded& l, jnx::WriteValues&) {
             l.built.bytes[std::size_t(l.built.blockStart + 4)] ^= 0x20;
             fixture::WriteBytes(l.path, l.built.bytes);
         },
         ErrorCode::FileChanged},
    };
    for (const Case& c : cases) {
        Loaded l(fixture::SimpleRecipe(GetParam(), 3, 2));
        edit::EditRequest request;
        request.productId = 5, request.levels[0].scale = 77;
        jnx::WriteValues values = fixture::Resolve(request, l.doc).values;
        c.spoil(l, values);
        platform::Error error;
        EXPECT_FALSE(jnx::ModifJNX(l.doc, values, l.path, error)) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what;
        EXPECT_EQ(fixture::TakeSnapshot(l.dir.path()), (fixture::Snapshot{{"MAP.jnx", l.built.bytes}})) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ModifTest, ::testing::Values(3, 4),
                         [](const auto& p) { return "v" + std::to_string(p.param); });

}  // namespace
