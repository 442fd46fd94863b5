// tessaly-cli info over the malformed variants the reader tests use: whatever a file
// holds, the program ends by itself within a bounded time with 0 or 1, says in one line
// which file it could not read, and leaves every file as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "jnx/reader.h"
#include "support/hostile_variants.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Far beyond what a batch takes even under the sanitizers; only a hang gets near it.
constexpr auto kTimeLimit = std::chrono::seconds(10);
constexpr std::size_t kFilesPerRun = 64;

struct Finished {
    bool timedOut = false;
    int signal = 0;  // the signal that ended it, 0 if it exited
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the program with stdout and stderr in files; kills it at the time limit.
Finished RunCli(const std::vector<std::string>& args, const fixture::TempDir& scratch) {
    const std::string outPath = scratch.file(".out"), errPath = scratch.file(".err");
    std::vector<std::string> argv = {TESSALY_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Finished result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << TESSALY_CLI_PATH;
        return result;
    }

    const auto deadline = Clock::now() + kTimeLimit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
    const auto text = [](const std::string& path) {
        const fixture::Bytes bytes = fixture::ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    };
    result.out = text(outPath);
    result.err = text(errPath);
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct VariantFile {
    std::string what;
    std::string path;
    fixture::Bytes bytes;
    bool readable = false;  // what ReadJnx says in the mode under test
};

class CliHostileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const bool quick = GetParam();
        for (const int version : {3, 4}) {
            const fixture::HostileLayout layout = fixture::DescribeHostile(fixture::HostileBaseRecipe(version));
            std::vector<fixture::HostileVariant> variants = fixture::IntFieldVariants(layout);
            for (auto* more : {&fixture::TruncatedVariants, &fixture::UnterminatedTextVariants}) {
                for (auto& variant : more(layout)) variants.push_back(std::move(variant));
            }
            for (std::size_t i = 0; i < variants.size(); ++i) {
                fixture::HostileVariant& variant = variants[i];
                VariantFile file;
                file.what = "v" + std::to_string(version) + " " + variant.name;
                file.path = files_.file("v" + std::to_string(version) + "-" + std::to_string(i) + ".jnx");
                file.bytes = std::move(variant.bytes);
                fixture::WriteBytes(file.path, file.bytes);
                jnx::JnxDocument doc;
                std::int32_t total = 0;
                std::string error;
                file.readable = jnx::ReadJnx(doc, file.path, total, error, !quick);
                variants_.push_back(std::move(file));
            }
        }
    }

    std::vector<std::string> Args(const std::vector<const VariantFile*>& batch) const {
        std::vector<std::string> args = {"info"};
        if (GetParam()) args.push_back("--quick");
        args.insert(args.end(), {"--settings", TESSALY_INI_PATH, "--"});
        for (const VariantFile* file : batch) args.push_back(file->path);
        return args;
    }

    static bool EndedByItself(const Finished& run) { return !run.timedOut && run.signal == 0 && run.code >= 0; }

    // A batch that did not end by itself is run again file by file to name the culprit.
    void NameCulprits(const std::vector<const VariantFile*>& batch) {
        for (const VariantFile* file : batch) {
            const Finished alone = RunCli(Args({file}), scratch_);
            if (alone.timedOut) {
                ADD_FAILURE() << file->what << ": still running at the time limit";
            } else if (alone.signal != 0) {
                ADD_FAILURE() << file->what << ": ended by signal " << alone.signal;
            }
        }
    }

    void CheckBatch(const std::vector<const VariantFile*>& batch) {
        const Finished run = RunCli(Args(batch), scratch_);
        if (!EndedByItself(run)) {
            ADD_FAILURE() << "a run over " << batch.size() << " files did not end by itself"
                          << (run.timedOut ? " (time limit)" : "");
            NameCulprits(batch);
            return;
        }
        bool anyUnreadable = false;
        for (const VariantFile* file : batch) anyUnreadable |= !file->readable;
        EXPECT_EQ(run.code, anyUnreadable ? 1 : 0) << batch.front()->what << " ...\n" << run.err;

        // Every line on stderr is "FILE: why", once for each file the reader refuses.
        std::map<std::string, int> errorLines;
        for (const std::string& line : Lines(run.err)) {
            const std::size_t colon = line.find(".jnx: ");
            ASSERT_NE(colon, std::string::npos) << "stray line on stderr: " << line;
            const std::string why = line.substr(colon + 6);
            EXPECT_FALSE(why.empty()) << line;
            for (const char c : why) EXPECT_FALSE(c >= 0 && c < 0x20) << "control character in: " << line;
            ++errorLines[line.substr(0, colon + 4)];
        }
        const std::vector<std::string> out = Lines(run.out);
        const std::set<std::string> shown(out.begin(), out.end());
        for (const VariantFile* file : batch) {
            const auto found = errorLines.find(file->path);
            const int lines = found == errorLines.end() ? 0 : found->second;
            EXPECT_EQ(lines, file->readable ? 0 : 1) << file->what << "\n" << run.err;
            EXPECT_EQ(shown.count(file->path), file->readable ? 1u : 0u) << file->what;
            if (found != errorLines.end()) errorLines.erase(found);
        }
        for (const auto& [named, count] : errorLines) ADD_FAILURE() << "an error names no file of the run: " << named;
    }

    fixture::TempDir files_;
    fixture::TempDir scratch_;
    std::vector<VariantFile> variants_;
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
        for (std::size_t i = first; i < variants_.size() && i < first + kFilesPerRun; ++i) batch.push_back(&variants_[i]);
        CheckBatch(batch);
    }
    for (const auto& file : variants_) {
        EXPECT_EQ(fixture::ReadBytes(file.path), file.bytes) << file.what << ": the file was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CliHostileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "quick" : "full"; });

}  // namespace
