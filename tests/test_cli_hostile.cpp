// tessaly-cli info over the malformed variants the reader tests use: whatever a file
// holds, the program ends by itself with 0 or 1, says in one line on stderr which file it
// could not read, shows every file it could, and leaves every file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jnx/reader.h"
#include "support/hostile_variants.h"
#include "support/run_program.h"

namespace {

using fixture::Occurrences;
constexpr std::size_t kFilesPerRun = 64;

struct VariantFile {
    std::string what;
    std::string path;
    fixture::Bytes bytes;
    bool readable = false;  // what ReadJnx says in the mode under test
};

class CliHostileTest : public ::testing::TestWithParam<bool> {
protected:
    fixture::TempDir files_, scratch_;
    std::vector<VariantFile> variants_;

    void SetUp() override {
        for (const int version : {3, 4}) {
            const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(version));
            std::vector<fixture::HostileVariant> variants = fixture::IntFieldVariants(layout);
            for (auto* more : {&fixture::TruncatedVariants, &fixture::UnterminatedTextVariants}) {
                for (auto& variant : more(layout)) variants.push_back(std::move(variant));
            }
            for (auto& variant : variants) {
                VariantFile file{"v" + std::to_string(version) + " " + variant.name,
                                 files_.file(std::to_string(variants_.size()) + ".jnx"), std::move(variant.bytes)};
                fixture::WriteBytes(file.path, file.bytes);
                jnx::JnxDocument doc;
                std::int32_t total = 0;
                std::string error;
                file.readable = jnx::ReadJnx(doc, file.path, total, error, !GetParam());
                variants_.push_back(std::move(file));
            }
        }
    }

    fixture::ProgramRun Info(const std::vector<const VariantFile*>& batch) {
        std::vector<std::string> args = {"info", "--settings", TESSALY_INI_PATH};
        if (GetParam()) args.push_back("--quick");
        args.push_back("--");
        for (const VariantFile* file : batch) args.push_back(file->path);
        return fixture::RunProgram(TESSALY_CLI_PATH, args, scratch_.path());
    }

    void CheckBatch(const std::vector<const VariantFile*>& batch) {
        const fixture::ProgramRun run = Info(batch);
        if (run.code != 0 && run.code != 1) {
            // Hung, crashed or worse: run again file by file to name the culprit.
            for (const VariantFile* file : batch) EXPECT_LE(Info({file}).code, 1) << file->what;
            return;
        }
        // One line "FILE: why" on stderr for each file the reader refuses, nothing else there;
        // each file it accepts shown on stdout.
        int unreadable = 0;
        for (const VariantFile* file : batch) {
            unreadable += !file->readable;
            EXPECT_EQ(Occurrences(run.err, file->path + ": "), file->readable ? 0 : 1) << file->what << "\n"
                                                                                         << run.err;
            EXPECT_EQ(Occurrences(run.out, file->path + "\n"), file->readable ? 1 : 0) << file->what;
        }
        EXPECT_EQ(run.code, unreadable > 0 ? 1 : 0) << batch.front()->what << " ...\n" << run.err;
        EXPECT_EQ(Occurrences(run.err, "\n"), unreadable) << run.err;
        EXPECT_EQ(Occurrences(run.err, ": \n"), 0) << "a reason is missing:\n" << run.err;
        const auto control = [](char c) { return c >= 0 && c < 0x20 && c != '\n'; };
        EXPECT_FALSE(std::any_of(run.err.begin(), run.err.end(), control)) << "control character in:\n" << run.err;
    }
};

TEST_P(CliHostileTest, EndsWithZeroOrOneAndNamesEachUnreadableFile) {
    ASSERT_GT(variants_.size(), 500u);
    std::size_t unreadable = 0;
    for (const auto& file : variants_) unreadable += !file.readable;
    // Both kinds are there, so both halves of the output are checked.
    ASSERT_GT(unreadable, 0u);
    ASSERT_LT(unreadable, variants_.size());

    for (std::size_t first = 0; first < variants_.size(); first += kFilesPerRun) {
        std::vector<const VariantFile*> batch;
        for (std::size_t i = first; i < std::min(variants_.size(), first + kFilesPerRun); ++i) {
            batch.push_back(&variants_[i]);
        }
        CheckBatch(batch);
    }
    for (const auto& file : variants_) {
        EXPECT_EQ(fixture::ReadBytes(file.path), file.bytes) << file.what << ": the file was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CliHostileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "quick" : "full"; });

}  // namespace
