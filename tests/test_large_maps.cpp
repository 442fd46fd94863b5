// Maps up to 4 GiB: offsets are unsigned 32-bit fields, so images may lie anywhere below
// 4 GiB, and no writer produces a file that passes what they address. The big maps are
// sparse files: a hole holds the gigabytes, so they cost a few kilobytes of disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "compose/extract.h"
#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/modif.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "platform/le.h"
#include "support/run_program.h"
#include "support/writer_support.h"

namespace {

using fixture::JnxRecipe;
using platform::ErrorCode;

constexpr std::int64_t kGiB = std::int64_t(1) << 30;

// Two levels of three tiles; the second level's images, and the trailer, lie at `at`, or
// end `at` bytes before 4 GiB when it is negative.
JnxRecipe WriteBig(const std::string& path, int version, std::int64_t at) {
    const JnxRecipe recipe = fixture::SimpleRecipe(version, 2, 3);
    const fixture::BuiltJnx built = fixture::BuildJnx(recipe);
    const std::int64_t tail = std::int64_t(built.bytes.size()) - built.dataOffsets[3];
    fixture::WriteWithHole(path, built, 3, at >= 0 ? at : (std::int64_t(1) << 32) + at - tail);
    return recipe;
}

// One level of one tile whose image is `size` bytes of hole.
void WriteHugeTile(const std::string& path, std::int32_t size) {
    fixture::BuiltJnx built = fixture::BuildJnx(fixture::SimpleRecipe(3, 1, 1));
    const auto at = std::size_t(built.dataOffsets[0]);
    const auto field = std::size_t(built.firstTableOffset) + 20;  // the tile's DataSize
    for (int k = 0; k < 4; ++k) built.bytes[field + std::size_t(k)] = std::uint8_t(std::uint32_t(size) >> (8 * k));
    fixture::Bytes front(built.bytes.begin(), built.bytes.begin() + std::ptrdiff_t(at));
    fixture::WriteBytes(path, front);
    std::filesystem::resize_file(path, at + std::size_t(size));
    std::ofstream(path, std::ios::binary | std::ios::app) << "BirdsEye";
}

TEST(LargeMaps, ImagesPast2And3GiBAreReadSavedInPlaceAndSplit) {
    for (const std::int64_t at : {2 * kGiB + 4096, 4 * kGiB - 64 * 1024}) {
        SCOPED_TRACE(at);
        fixture::TempDir dir;
        const std::string path = dir.file("BIG.jnx");
        const JnxRecipe recipe = WriteBig(path, 4, at);
        jnx::JnxDocument doc = fixture::ReadFull(path);
        ASSERT_EQ(doc.Tiles.size(), 6u);
        EXPECT_EQ(doc.Tiles[3].DataOffset, std::uint32_t(at));

        edit::EditRequest request;
        request.productId = 42, request.groupName = "Big group";
        const edit::ResolvedEdit resolved = fixture::Resolve(request, doc);
        ASSERT_EQ(resolved.road, edit::Road::Patch);
        platform::Error error;
        ASSERT_TRUE(jnx::ModifJNX(doc, resolved.values, path, error)) << platform::ErrorText(error);
        EXPECT_EQ(fixture::ReadFull(path).Header.ProductId, 42);

        // Each level as a file of its own: the one beyond the hole as well as the one before it.
        for (int level = 1; level <= 2; ++level) {
            const std::string out = dir.file("L" + std::to_string(level) + ".jnx");
            ASSERT_TRUE(compose::ExtractLevel(doc, resolved.values, 4, path, out, level, {}, error))
                << platform::ErrorText(error);
            EXPECT_EQ(fixture::TilesIn(out)[0], fixture::TilesOf({recipe})[std::size_t(level - 1)]);
        }
        // The command line reads it as a whole and saves it in place.
        EXPECT_EQ(fixture::RunProgram(TESSALY_CLI_PATH, {"info", path}, dir.path()).code, 0);
        EXPECT_EQ(fixture::RunProgram(TESSALY_CLI_PATH, {"save", path, "--product-id", "77"}, dir.path()).code, 0);
        EXPECT_EQ(fixture::ReadFull(path).Header.ProductId, 77);
    }
}

// A version change grows the front part: a map just below the limit would pass it. The
// refusal comes before the first byte, and says what size the map would reach.
TEST(LargeMaps, WritesThatWouldPass4GiBAreRefusedBeforeAnyByte) {
    fixture::TempDir dir;
    const std::string path = dir.file("NEAR.jnx");
    const std::int64_t limit = jnx::kMaxFileLength;
    WriteBig(path, 3, -10);
    const auto length = std::int64_t(std::filesystem::file_size(path));
    ASSERT_LE(length, limit);
    jnx::JnxDocument doc = fixture::ReadFull(path);

    edit::EditRequest toV4;
    toV4.targetVersion = 4;
    const edit::ResolvedEdit resolved = fixture::Resolve(toV4, doc);
    platform::Error error;
    EXPECT_FALSE(jnx::RegenerateJnx(doc, resolved.values, 4, path, path, {}, error));
    EXPECT_TRUE(error.code == ErrorCode::FileTooLarge && error.value > limit) << platform::ErrorText(error);
    EXPECT_EQ(std::int64_t(std::filesystem::file_size(path)), length);
    // The command line's replacement reports the refusal on the map's own line.
    const fixture::ProgramRun cli =
        fixture::RunProgram(TESSALY_CLI_PATH, {"save", path, "--to-version", "4", "--replace"}, dir.path());
    EXPECT_TRUE(cli.code == 1 && cli.err.starts_with(path + ": ")) << cli.err;
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"NEAR.jnx"}));

    // Three maps of one 1.5 GiB image merged: refused before the output folder is even made.
    std::vector<std::string> sources;
    for (const char* name : {"A.jnx", "B.jnx", "C.jnx"}) {
        sources.push_back(dir.file(name));
        WriteHugeTile(sources.back(), std::int32_t(3 * kGiB / 2));
    }
    const compose::MergePlanning planning =
        compose::PlanMerge(fixture::MergeSourcesOf(sources), {}, compose::MergeFolderRule{"", dir.file("out")});
    ASSERT_FALSE(planning.error) << platform::ErrorText(planning.error);
    std::string written;
    EXPECT_FALSE(compose::WriteMerge(planning.plan, doc, written, error, nullptr, {}));
    EXPECT_EQ(error.code, ErrorCode::FileTooLarge);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

// A map of a few kilobytes whose level claims 150 million tiles, in a sparse file long
// enough for all of their tables: refused before the tables' memory is taken, whether the
// count belongs to a level that another table follows or to the last one.
TEST(LargeMaps, TileCountsNoTableHoldsCostNoMemory) {
    fixture::TempDir dir;
    const auto peakKiB = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return std::int64_t(usage.ru_maxrss);
    };
    for (const std::size_t level : {0u, 1u}) {
        SCOPED_TRACE(level);
        fixture::BuiltJnx built = fixture::BuildJnx(fixture::SimpleRecipe(4, 2, 3));
        platform::StoreI32(&built.bytes[std::size_t(built.scalePositions[level] - 8)], 150'000'000);
        const std::string path = dir.file("CLAIM.jnx");
        fixture::WriteBytes(path, built.bytes);
        std::filesystem::resize_file(path, std::uintmax_t(4 * kGiB));
        const std::int64_t before = peakKiB();
        jnx::JnxDocument doc;
        platform::Error error;
        std::int32_t total = 0;
        EXPECT_FALSE(jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Tables));
        EXPECT_EQ(error.code, level == 0 ? ErrorCode::TablesMisplaced : ErrorCode::BadSignature);
        EXPECT_LT(peakKiB() - before, 64 * 1024);
        EXPECT_EQ(fixture::RunProgram(TESSALY_CLI_PATH, {"check", path}, dir.path()).code, 1);
    }
}

}  // namespace
