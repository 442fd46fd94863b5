// Malformed variants of valid files, read by the reader at every depth and by tessaly-cli.
// Whatever a file holds, nothing crashes or hangs and no file changes; a read that succeeds
// describes a file whose every recorded offset lies inside it, one that fails says why and
// of which file. The program ends by itself with 0 or 1, says in one line on stderr which
// file it could not read, and shows every file it could.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>

#include "jnx/reader.h"
#include "platform/le.h"
#include "support/hostile_variants.h"
#include "support/run_program.h"

namespace {

using fixture::Bytes;
using fixture::Occurrences;
using jnx::ReadDepth;

// What the quick and the full read of a variant must give.
enum class Expect { BothPass, FullFails, BothFail, FullNeverWithoutQuick };

struct Hostile {
    fixture::HostileVariant variant;
    Expect expect;
};

std::vector<Hostile> Variants(int version) {
    const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(version));
    const fixture::BuiltJnx& built = layout.built;
    std::vector<Hostile> all{{{"unchanged", built.bytes}, Expect::BothPass}};
    // A broken structure that the quick read does not reach may still pass it; a hostile
    // LevelCount or TileCount fails both.
    for (auto& v : fixture::IntFieldVariants(layout)) {
        const bool count = (v.at == 24 || v.at == built.scalePositions[0] - 8) && platform::LoadI32(&v.bytes[std::size_t(v.at)]) != 0;
        all.push_back({std::move(v), count ? Expect::BothFail : Expect::FullNeverWithoutQuick});
    }
    // The trailer is at the end, so no shortened file is whole.
    for (auto& v : fixture::TruncatedVariants(layout)) {
        const bool early = v.at < built.firstTableOffset - 4;
        all.push_back({std::move(v), early ? Expect::BothFail : Expect::FullFails});
    }
    for (auto& v : fixture::UnterminatedTextVariants(layout)) all.push_back({std::move(v), Expect::BothFail});
    // A text past the longest one the format allows, though the file is long enough.
    fixture::JnxRecipe recipe = fixture::HostileBaseRecipe(version);
    recipe.mapTitle = std::string(40000, 't'), recipe.gap = 0;
    all.push_back({{"overlong title", fixture::BuildJnx(recipe).bytes}, Expect::BothFail});
    // Without a block only the first table's offset says where the tables lie.
    recipe = fixture::HostileBaseRecipe(version);
    recipe.withMapBlock = false, recipe.gap = 40;
    const fixture::BuiltJnx bare = fixture::BuildJnx(recipe);
    all.push_back({{"no block", bare.bytes}, Expect::BothPass});
    for (const std::int32_t value : {INT_MIN, -1, 0, INT_MAX}) {
        Hostile h{{"no block, first table at " + std::to_string(value), bare.bytes}, Expect::FullFails};
        platform::StoreI32(&h.variant.bytes[std::size_t(bare.scalePositions[0] - 4)], value);
        all.push_back(std::move(h));
    }
    return all;
}

void CheckModel(const jnx::JnxDocument& doc, std::int32_t total, std::int64_t length, bool full, const std::string& what) {
    const auto levels = std::size_t(doc.Header.LevelCount);
    ASSERT_TRUE(doc.Levels.size() == levels && doc.LevelInfos.size() == levels && doc.LevelExtras.size() == levels) << what;
    // A block and its padding always fill the span a rewrite gives them.
    EXPECT_EQ(jnx::MapBlockLength(doc.MapInfo, doc.LevelInfos) + std::int64_t(doc.Padding.size()), 1024) << what;
    std::int64_t sum = 0;
    for (const auto& level : doc.Levels) sum += level.TileCount;
    EXPECT_EQ(sum, total) << what;
    if (!full) return;
    ASSERT_TRUE(doc.Tiles.size() == std::size_t(total) && doc.CheckPointsImages.size() == std::size_t(total) &&
                doc.Previews.size() == levels) << what;
    for (const auto& tile : doc.Tiles)
        EXPECT_TRUE(tile.DataSize > 0 && std::int64_t(tile.DataOffset) + tile.DataSize <= length) << what;
    for (std::size_t i = 0; i < levels; ++i) {
        EXPECT_EQ(doc.TileOffset[i], doc.Levels[i].TableOffset) << what;
        EXPECT_EQ(doc.Previews[i].empty(), doc.Levels[i].TileCount == 0) << what;
    }
}

bool Read(const std::string& path, ReadDepth depth, std::int64_t length, const std::string& what) {
    jnx::JnxDocument doc;
    platform::Error error;
    std::int32_t total = -1;
    const bool ok = jnx::ReadJnx(doc, path, total, error, depth);
    EXPECT_EQ(bool(error), !ok) << what;
    EXPECT_TRUE(ok || error.file == path) << what;
    if (ok && depth != ReadDepth::Tables) CheckModel(doc, total, length, depth == ReadDepth::Full, what);
    return ok;
}

struct VariantFile {
    std::string what, path;
    Bytes bytes;
    bool quick = false, tables = false;  // readable at the depths the command line reads
};

class HostileFiles : public ::testing::TestWithParam<int> {};

TEST_P(HostileFiles, RefusedWithoutHarmByTheReaderAndTheCommandLine) {
    fixture::TempDir folder, scratch;
    std::vector<VariantFile> files;
    for (Hostile& h : Variants(GetParam())) {
        VariantFile f{h.variant.name, folder.file(std::to_string(files.size()) + ".jnx"), std::move(h.variant.bytes)};
        fixture::WriteBytes(f.path, f.bytes);
        const auto length = std::int64_t(f.bytes.size());
        f.quick = Read(f.path, ReadDepth::Quick, length, f.what);
        f.tables = Read(f.path, ReadDepth::Tables, length, f.what);
        const bool full = Read(f.path, ReadDepth::Full, length, f.what);
        switch (h.expect) {
        case Expect::BothPass: EXPECT_TRUE(f.quick && full) << f.what; break;
        case Expect::FullFails: EXPECT_FALSE(full) << f.what; break;
        case Expect::BothFail: EXPECT_FALSE(f.quick || full) << f.what; break;
        case Expect::FullNeverWithoutQuick: EXPECT_TRUE(f.quick || !full) << f.what; break;
        }
        files.push_back(std::move(f));
    }

    for (const bool quick : {true, false}) {
        const auto readable = [quick](const VariantFile& f) { return quick ? f.quick : f.tables; };
        const auto unreadable = std::count_if(files.begin(), files.end(), std::not_fn(readable));
        ASSERT_TRUE(unreadable > 0 && unreadable < long(files.size()));  // both halves of the output are checked
        for (std::size_t first = 0; first < files.size(); first += 64) {
            const std::size_t end = std::min(files.size(), first + 64);
            std::vector<std::string> args = {"info", "--settings", TESSALY_INI_PATH, "--"};
            if (quick) args.insert(args.begin() + 1, "--quick");
            for (std::size_t i = first; i < end; ++i) args.push_back(files[i].path);
            const fixture::ProgramRun run = fixture::RunProgram(TESSALY_CLI_PATH, args, scratch.path());
            int refused = 0;
            for (std::size_t i = first; i < end; ++i) {
                refused += !readable(files[i]);
                EXPECT_EQ(Occurrences(run.err, files[i].path + ": "), !readable(files[i])) << files[i].what << "\n" << run.err;
                EXPECT_EQ(Occurrences(run.out, files[i].path + "\n"), readable(files[i])) << files[i].what;
            }
            EXPECT_EQ(run.code, refused > 0 ? 1 : 0) << files[first].what << " ...\n" << run.err;
            EXPECT_EQ(Occurrences(run.err, "\n"), refused) << run.err;
            EXPECT_EQ(Occurrences(run.err, ": \n"), 0) << "a reason is missing:\n" << run.err;
            EXPECT_FALSE(std::any_of(run.err.begin(), run.err.end(), [](char c) { return c >= 0 && c < 0x20 && c != '\n'; }))
                << run.err;
        }
        if (quick) continue;
        // The device check of the whole folder, deep: one answer per file, every unreadable
        // one marked, nothing on stderr.
        const fixture::ProgramRun check = fixture::RunProgram(
            TESSALY_CLI_PATH, {"check", "--deep", "--json", "--settings", TESSALY_INI_PATH, folder.path()}, scratch.path());
        EXPECT_EQ(check.code, 1) << check.err;
        EXPECT_EQ(check.err, "");
        EXPECT_EQ(Occurrences(check.out, "\"error\": "), int(unreadable));
        for (const auto& f : files) EXPECT_EQ(Occurrences(check.out, "\"" + f.path + "\""), 1) << f.what;
    }
    for (const auto& f : files) EXPECT_EQ(fixture::ReadBytes(f.path), f.bytes) << f.what << ": changed";
}

INSTANTIATE_TEST_SUITE_P(Versions, HostileFiles, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "v" + std::to_string(p.param); });

}  // namespace
