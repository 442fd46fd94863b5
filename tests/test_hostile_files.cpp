// Malformed variants of valid files, read by the reader at every depth and by tessaly-cli.
// Whatever a file holds, nothing crashes or hangs and no file changes; a read that succeeds
// describes a file whose every recorded offset lies inside it, one that fails says why and
// of which file. The program ends by itself with 0 or 1, says in one line on stderr which
// file it could not read, and shows every file it could.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <set>

#include "jnx/reader.h"
#include "platform/le.h"
#include "support/jnx_builder.h"
#include "support/run_program.h"

namespace {

using fixture::Bytes;
using fixture::Occurrences;
using jnx::ReadDepth;

// What the quick and the full read of a variant must give.
enum class Expect { BothPass, FullFails, BothFail, FullNeverWithoutQuick };

struct Hostile {
    std::string what;
    Bytes bytes;
    Expect expect;
};

// Of a file of two levels of three tiles and a signature, so every structure is there at
// least twice: every int32 field set to hostile values, the file cut at and around every
// structure boundary, texts left unterminated.
std::vector<Hostile> Variants(int version) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, 2, 3);
    recipe.signature = {9, 8, 7};
    const fixture::BuiltJnx built = fixture::BuildJnx(recipe);
    const Bytes& good = built.bytes;
    const auto length = std::int64_t(good.size());
    std::vector<std::int64_t> fields, edges{0}, texts;  // where each field, structure and text begins
    const int headerEnd = version == 4 ? 52 : 48;
    for (int pos = 0; pos < headerEnd; pos += 4) fields.push_back(pos);
    edges.push_back(headerEnd);
    for (const std::int64_t scale : built.scalePositions) {
        fields.insert(fields.end(), {scale - 8, scale - 4, scale});
        if (version == 4) fields.push_back(scale + 4);
        edges.push_back(scale - 8);
    }
    std::int64_t pos = built.blockStart;
    edges.push_back(pos);
    fields.push_back(pos);  // BlockVersion
    pos += 4;
    const auto text = [&](const std::string& t) { texts.push_back(pos), pos += std::int64_t(t.size()) + 1; };
    text(recipe.guid), text(recipe.groupName);
    pos += 3;
    text(recipe.mapTitle);
    fields.push_back(pos);  // InfoLevelCount
    pos += 4;
    for (const auto& level : recipe.levels) {
        edges.push_back(pos);
        text(level.name), text(level.description), text(level.copyright);
        fields.push_back(pos);  // Zoom
        pos += 4;
    }
    edges.push_back(pos);
    const auto tableEnd = built.firstTableOffset + std::int64_t(built.dataOffsets.size()) * 28;
    for (std::int64_t entry = built.firstTableOffset; entry < tableEnd; entry += 28) {
        edges.push_back(entry);
        for (int k = 0; k < 28; k += 4) fields.push_back(entry + k);
    }
    edges.insert(edges.end(), built.dataOffsets.begin(), built.dataOffsets.end());
    edges.push_back(length - 8);  // the trailer

    std::vector<Hostile> all{{"unchanged", good, Expect::BothPass}};
    // A broken structure that the quick read does not reach may still pass it; a hostile
    // LevelCount or TileCount fails both.
    for (const auto at : fields)
        for (const std::int32_t value : {0, -1, INT_MIN, INT_MAX, std::int32_t(length + 1)}) {
            const bool count = (at == 24 || at == built.scalePositions[0] - 8) && value != 0;
            Hostile h{"int32 at " + std::to_string(at) + " = " + std::to_string(value), good,
                      count ? Expect::BothFail : Expect::FullNeverWithoutQuick};
            platform::StoreI32(&h.bytes[std::size_t(at)], value);
            all.push_back(std::move(h));
        }
    // Cut at every boundary and every 23 bytes, and one byte either side: the trailer is at
    // the end, so no shortened file is whole.
    for (std::int64_t n = 1; n < length; n += 23) edges.push_back(n);
    std::set<std::int64_t> cuts;
    for (const auto edge : edges) cuts.insert({edge - 1, edge, edge + 1});
    for (const auto cut : cuts)
        if (cut >= 0 && cut < length)
            all.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut),
                           cut < built.firstTableOffset - 4 ? Expect::BothFail : Expect::FullFails});
    for (const auto start : texts) {  // every byte from the text on made non-zero
        Hostile h{"text at " + std::to_string(start), good, Expect::BothFail};
        for (auto i = std::size_t(start); i < h.bytes.size(); ++i) h.bytes[i] |= 0x40;
        all.push_back(std::move(h));
    }
    // A text past the longest one the format allows, though the file is long enough.
    fixture::JnxRecipe longTitle = recipe;
    longTitle.mapTitle = std::string(40000, 't'), longTitle.gap = 0;
    all.push_back({"overlong title", fixture::BuildJnx(longTitle).bytes, Expect::BothFail});
    // Without a block only the first table's offset says where the tables lie.
    recipe.withMapBlock = false, recipe.gap = 40;
    const fixture::BuiltJnx bare = fixture::BuildJnx(recipe);
    all.push_back({"no block", bare.bytes, Expect::BothPass});
    for (const std::int32_t value : {INT_MIN, -1, 0, INT_MAX}) {
        Hostile h{"no block, first table at " + std::to_string(value), bare.bytes, Expect::FullFails};
        platform::StoreI32(&h.bytes[std::size_t(bare.scalePositions[0] - 4)], value);
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
    for (std::size_t i = 0; i < levels; ++i)
        EXPECT_EQ(std::tuple(doc.TileOffset[i], doc.Previews[i].empty()),
                  std::tuple(doc.Levels[i].TableOffset, doc.Levels[i].TileCount == 0))
            << what;
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
        VariantFile f{h.what, folder.file(std::to_string(files.size()) + ".jnx"), std::move(h.bytes)};
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
        EXPECT_EQ(std::tuple(check.code, check.err), std::tuple(1, "")) << check.err;
        EXPECT_EQ(Occurrences(check.out, "\"error\": "), int(unreadable));
        for (const auto& f : files) EXPECT_EQ(Occurrences(check.out, "\"" + f.path + "\""), 1) << f.what;
    }
    for (const auto& f : files) EXPECT_EQ(fixture::ReadBytes(f.path), f.bytes) << f.what << ": changed";
}

INSTANTIATE_TEST_SUITE_P(Versions, HostileFiles, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "v" + std::to_string(p.param); });

}  // namespace
