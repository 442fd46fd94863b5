// tessaly-cli info and check over the malformed variants the reader tests use: whatever a file
// holds, the program ends by itself with 0 or 1, says in one line on stderr which file it
// could not read, shows every file it could, and leaves every file as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "jnx/reader.h"
#include "support/hostile_variants.h"
#include "support/run_program.h"

namespace {

using fixture::Occurrences;
constexpr std::size_t kFilesPerRun = 64;

struct VariantFile {
    std::string what, path;
    fixture::Bytes bytes;
    bool readable;  // what ReadJnx says in the mode under test
};

class CliHostileTest : public ::testing::TestWithParam<bool> {};

TEST_P(CliHostileTest, EndsWithZeroOrOneAndNamesEachUnreadableFile) {
    const bool quick = GetParam();
    fixture::TempDir folder, scratch;
    std::vector<VariantFile> files;
    for (const int version : {3, 4}) {
        const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(version));
        std::vector<fixture::HostileVariant> variants = fixture::IntFieldVariants(layout);
        for (auto* more : {&fixture::TruncatedVariants, &fixture::UnterminatedTextVariants})
            for (auto& variant : more(layout)) variants.push_back(std::move(variant));
        for (auto& variant : variants) {
            const std::string path = folder.file(std::to_string(files.size()) + ".jnx");
            fixture::WriteBytes(path, variant.bytes);
            jnx::JnxDocument doc;
            std::int32_t total = 0;
            platform::Error error;
            const bool readable = jnx::ReadJnx(doc, path, total, error, quick ? jnx::ReadDepth::Quick : jnx::ReadDepth::Tables);
            files.push_back({"v" + std::to_string(version) + " " + variant.name, path, variant.bytes, readable});
        }
    }
    // Both kinds are there, so both halves of the output are checked.
    const auto unreadable = std::count_if(files.begin(), files.end(), [](const auto& f) { return !f.readable; });
    ASSERT_GT(files.size(), 500u);
    ASSERT_TRUE(unreadable > 0 && unreadable < static_cast<long>(files.size()));

    for (std::size_t first = 0; first < files.size(); first += kFilesPerRun) {
        const std::size_t end = std::min(files.size(), first + kFilesPerRun);
        std::vector<std::string> args = {"info", "--settings", TESSALY_INI_PATH, "--"};
        if (quick) args.insert(args.begin() + 1, "--quick");
        for (std::size_t i = first; i < end; ++i) args.push_back(files[i].path);
        const fixture::ProgramRun run = fixture::RunProgram(TESSALY_CLI_PATH, args, scratch.path());
        // One line "FILE: why" on stderr for each file the reader refuses, nothing else
        // there, and no control character; each file it accepts shown on stdout.
        int refused = 0;
        for (std::size_t i = first; i < end; ++i) {
            const VariantFile& file = files[i];
            refused += !file.readable;
            EXPECT_EQ(Occurrences(run.err, file.path + ": "), !file.readable) << file.what << "\n" << run.err;
            EXPECT_EQ(Occurrences(run.out, file.path + "\n"), file.readable) << file.what;
        }
        EXPECT_EQ(run.code, refused > 0 ? 1 : 0) << files[first].what << " ...\n" << run.err;
        EXPECT_EQ(Occurrences(run.err, "\n"), refused) << run.err;
        EXPECT_EQ(Occurrences(run.err, ": \n"), 0) << "a reason is missing:\n" << run.err;
        const auto control = [](char c) { return c >= 0 && c < 0x20 && c != '\n'; };
        EXPECT_FALSE(std::any_of(run.err.begin(), run.err.end(), control)) << run.err;
    }
    // The device check of the whole folder, deep: one answer per file, every unreadable
    // one marked, nothing on stderr, 1 since some cannot be read.
    if (!quick) {
        const fixture::ProgramRun check = fixture::RunProgram(
            TESSALY_CLI_PATH, {"check", "--deep", "--json", "--settings", TESSALY_INI_PATH, folder.path()}, scratch.path());
        EXPECT_EQ(check.code, 1) << check.err;
        EXPECT_EQ(check.err, "");
        EXPECT_EQ(Occurrences(check.out, "\"file\": "), static_cast<int>(files.size()));
        EXPECT_EQ(Occurrences(check.out, "\"error\": "), static_cast<int>(unreadable));
        for (const auto& file : files) EXPECT_EQ(Occurrences(check.out, "\"" + file.path + "\""), 1) << file.what;
    }
    for (const auto& file : files) EXPECT_EQ(fixture::ReadBytes(file.path), file.bytes) << file.what << ": changed";
}

INSTANTIATE_TEST_SUITE_P(Modes, CliHostileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "quick" : "full"; });

}  // namespace
