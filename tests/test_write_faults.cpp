// Every writer run once per point where the system can fail it: an open, a write, a
// kernel copy, a flush or a rename that fails, a disk that fills up from some write on,
// a write cut off part way, a write that stores only part of its bytes, a file system
// without kernel copies.
// After a failure the folder must hold exactly what it held before (the in-place update
// puts its bytes back), with no temporary file and no partial output under a final name,
// and the writer must have said why. A write that falls short or a copy done by hand
// must change nothing in the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compose/extract.h"
#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "jnx/modif.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "settings/settings.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "tests/fault/faulty_sys_io.h"
#include "batch/batch_commands.h"

namespace {

using fixture::Bytes;
using Snapshot = std::map<std::string, Bytes>;  // path below the folder -> contents

Snapshot Take(const std::string& folder) {
    Snapshot files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] = fixture::ReadBytes(entry.path());
        }
    }
    return files;
}

std::vector<std::string> Names(const Snapshot& files) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) names.push_back(name);
    return names;
}

// Many small tiles in a few levels, so that a write falls on every part of the file.
fixture::JnxRecipe Recipe(int version, int seedBase = 0) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, 3, 4);
    for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
        recipe.levels[i].scale = 1000 * (int(i) + 1) + seedBase;
        for (std::size_t j = 0; j < recipe.levels[i].tiles.size(); ++j) {
            recipe.levels[i].tiles[j].data = fixture::MakeTileData(seedBase + int(10 * i + j), 40 + 17 * j);
        }
    }
    return recipe;
}

bool FullRead(jnx::JnxDocument& doc, const std::string& path, std::string& error) {
    std::int32_t tiles = 0;
    doc.FileName = path;
    return jnx::ReadJnx(doc, path, tiles, error, true);
}

struct Result {
    bool ok = false;
    std::string error;
    batch::SaveSummary summary;  // batch runs only
};

// A writer over a fresh folder: prepare() fills it, run() does the work being tested.
struct Scenario {
    std::function<void(const fixture::TempDir&)> prepare;
    std::function<Result(const fixture::TempDir&)> run;
};

std::string Describe(fault::Kind kind, int at) {
    const char* what = kind == fault::Kind::Error      ? "failed point "
                       : kind == fault::Kind::DiskFull ? "disk full from write "
                                                       : "torn write ";
    return what + std::to_string(at);
}

Snapshot CleanRun(const Scenario& scenario, int& points, int& writes) {
    fixture::TempDir dir;
    scenario.prepare(dir);
    fault::Disarm();
    const Result result = scenario.run(dir);
    points = fault::PointsSeen();
    writes = fault::WritesSeen();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(fault::UnflushedReplacements(), 0) << "a file was replaced before its successor was on the device";
    return Take(dir.path());
}

// Runs the scenario once per point where a call of its clean run can fail, on a fresh
// folder each time, and hands each failed run to check with the folder as it was before.
using FailureCheck = std::function<void(const fixture::TempDir&, const Snapshot& before, const Snapshot& clean,
                                        const Result&, const std::string& where)>;

void ForEveryFailure(const Scenario& scenario, const FailureCheck& check) {
    int points = 0, writes = 0;
    const Snapshot clean = CleanRun(scenario, points, writes);
    ASSERT_GT(writes, 0);
    for (const fault::Kind kind : {fault::Kind::Error, fault::Kind::DiskFull, fault::Kind::TornWrite}) {
        const int last = kind == fault::Kind::Error ? points : writes;
        for (int at = 1; at <= last; ++at) {
            fixture::TempDir dir;
            scenario.prepare(dir);
            const Snapshot before = Take(dir.path());
            fault::Arm({kind, at});
            const Result result = scenario.run(dir);
            const bool fired = fault::Fired();
            fault::Disarm();
            // A full disk fired only if the writer still wrote a new file from that write on.
            if (fired) check(dir, before, clean, result, Describe(kind, at));
        }
    }
}

void ExpectUnchangedAfterEveryFailure(const Scenario& scenario) {
    ForEveryFailure(scenario, [](const fixture::TempDir& dir, const Snapshot& before, const Snapshot&,
                                 const Result& result, const std::string& where) {
        EXPECT_FALSE(result.ok) << where;
        EXPECT_FALSE(result.error.empty()) << where;
        const Snapshot after = Take(dir.path());
        EXPECT_EQ(Names(after), Names(before)) << where;
        EXPECT_TRUE(after == before) << where << ": a file changed";
    });
}

void ExpectSameResultDespiteShortWritesAndNoKernelCopy(const Scenario& scenario) {
    int points = 0, writes = 0;
    const Snapshot clean = CleanRun(scenario, points, writes);
    std::vector<fault::Plan> plans{{fault::Kind::NoKernelCopy, 0}};
    for (int at = 1; at <= writes; ++at) plans.push_back({fault::Kind::ShortWrite, at});
    for (const fault::Plan& plan : plans) {
        fixture::TempDir dir;
        scenario.prepare(dir);
        fault::Arm(plan);
        const Result result = scenario.run(dir);
        fault::Disarm();
        const std::string where = plan.kind == fault::Kind::NoKernelCopy ? std::string("without kernel copies")
                                                                          : "short write " + std::to_string(plan.at);
        EXPECT_TRUE(result.ok) << where << ": " << result.error;
        EXPECT_TRUE(Take(dir.path()) == clean) << where << ": result differs";
    }
}

void WriteFile(const fixture::TempDir& dir, const std::string& name, const fixture::JnxRecipe& recipe) {
    fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
}

edit::EditorValues EditedValues(std::optional<int> version = {}) {
    edit::EditorValues request;
    request.cboActualizar = version;
    request.txtProductID = "42";
    request.txtFamiliGroup = "Edited group";
    request.txtDrawOrder = "12";
    request.cboNivel[0] = 2400;
    request.cboNivel[1] = 9600;
    request.chkSplitOPriority[2] = true;
    return request;
}

// A writer over one file of the given version, read in full first as every caller does.
using DocumentWriter =
    std::function<bool(jnx::JnxDocument&, const std::string& path, const fixture::TempDir&, platform::Error& error)>;

// staleOutput: a file left under the output's name by an earlier run, which the writer
// replaces.
Scenario OneFile(int version, DocumentWriter write, const std::string& staleOutput = {}) {
    return {[version, staleOutput](const fixture::TempDir& dir) {
                WriteFile(dir, "map.jnx", Recipe(version));
                if (!staleOutput.empty()) WriteFile(dir, staleOutput, Recipe(version, 500));
            },
            [write](const fixture::TempDir& dir) {
                Result result;
                jnx::JnxDocument doc;
                const std::string path = dir.file("map.jnx");
                platform::Error error;
                if (FullRead(doc, path, result.error)) {
                    result.ok = write(doc, path, dir, error);
                    result.error = platform::ErrorText(error);
                }
                return result;
            }};
}

Scenario InPlaceUpdate() {
    return OneFile(4, [](jnx::JnxDocument& doc, const std::string& path, const fixture::TempDir&,
                         platform::Error& error) {
        return jnx::ModifJNX(doc, fixture::Resolve(EditedValues(), doc).values, path, error);
    });
}

Scenario Regeneration(int fromVersion, int toVersion, const std::string& staleOutput = {}) {
    return OneFile(fromVersion, [=](jnx::JnxDocument& doc, const std::string& path, const fixture::TempDir& dir,
                                    platform::Error& error) {
        jnx::WriterSettings settings;
        settings.blockSize = 100;  // several copies per level
        const edit::ResolvedEdit resolved = fixture::Resolve(EditedValues(toVersion), doc);
        return jnx::RegenerateJnx(doc, resolved.values, resolved.version, path, dir.file("map_new.jnx"), settings,
                                  error);
    }, staleOutput);
}

Scenario Extraction(const std::string& staleOutput = {}) {
    return OneFile(4, [](jnx::JnxDocument& doc, const std::string& path, const fixture::TempDir& dir,
                         platform::Error& error) {
        const edit::ResolvedEdit resolved = fixture::Resolve(EditedValues(3), doc, edit::Purpose::Split);
        return compose::ExtractLevel(doc, resolved.values, resolved.version, path, dir.file("map_Level2.jnx"), 2, {},
                                     error);
    }, staleOutput);
}

Scenario BatchSave(bool replaceSource) {
    return {[](const fixture::TempDir& dir) {
                WriteFile(dir, "a.jnx", Recipe(3, 1));
                WriteFile(dir, "b.jnx", Recipe(4, 2));
            },
            [replaceSource](const fixture::TempDir& dir) {
                edit::EditorValues request = EditedValues(4);  // a.jnx is regenerated, b.jnx patched in place
                request.chkRemoveOld = replaceSource;
                request.txtDrawOrder = "20";
                Result result;
                result.summary = batch::SaveFilesAsBatch({dir.file("a.jnx"), dir.file("b.jnx")}, "", request, {});
                result.ok = !result.summary.Refused() && result.summary.errors == 0;
                for (const auto& row : result.summary.rows) result.error += platform::ErrorText(row.error);
                return result;
            }};
}

// Each row of a batch run stands alone: a failed row must leave its file as it was,
// while the other row's work stays. So the check is made row by row.
void ExpectBatchRowsSafeAfterEveryFailure(bool replaceSource) {
    ForEveryFailure(BatchSave(replaceSource), [replaceSource](const fixture::TempDir& dir, const Snapshot& before,
                                                              const Snapshot& clean, const Result& result,
                                                              const std::string& where) {
        const batch::SaveSummary& summary = result.summary;
        if (summary.Refused()) {  // a file could not even be looked at: nothing may have been touched
            EXPECT_TRUE(Take(dir.path()) == before) << where;
            return;
        }
        ASSERT_EQ(summary.rows.size(), 2u) << where;
        EXPECT_EQ(summary.errors, 1) << where << ": one fault fails one row";
        // What the folder must hold: per row, the clean run's result or the untouched source.
        Snapshot expected;
        for (const auto& row : summary.rows) {
            const std::string name = std::filesystem::path(row.path).filename();
            const std::string output = replaceSource || name == "b.jnx" ? name : "a_new.jnx";
            if (row.result == batch::RowResult::Failed) {
                EXPECT_TRUE(row.error) << where;
                expected[name] = before.at(name);
            } else {
                expected[name] = output == name ? clean.at(name) : before.at(name);
                expected[output] = clean.at(output);
            }
        }
        const Snapshot after = Take(dir.path());
        EXPECT_EQ(Names(after), Names(expected)) << where;
        EXPECT_TRUE(after == expected) << where << ": a file differs";
    });
}

Scenario Merge() {
    return {[](const fixture::TempDir& dir) {
                fixture::JnxRecipe first = Recipe(4, 1), second = Recipe(4, 100);
                first.levels.resize(2);
                second.levels.resize(2);
                WriteFile(dir, "east.jnx", first);
                WriteFile(dir, "west.jnx", second);
            },
            [](const fixture::TempDir& dir) {
                Result result;
                std::vector<compose::MergeSource> sources;
                jnx::JnxDocument doc;
                for (const char* name : {"east.jnx", "west.jnx"}) {
                    compose::MergeSource source;
                    source.path = dir.file(name);
                    std::int32_t tiles = 0;
                    if (!jnx::ReadJnx(doc, source.path, tiles, result.error, false)) return result;
                    source.version = doc.Header.Version;
                    source.levelCount = doc.Header.LevelCount;
                    source.totalTiles = tiles;
                    source.content = compose::MergeContentOf(doc);
                    sources.push_back(std::move(source));
                }
                edit::EditorValues request;
                request.txtProductID = "5";
                const compose::MergePlanning planning =
                    compose::PlanMerge(sources, request, compose::MergeFolderRule{"", dir.file("out")});
                if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
                    result.error = "not planned";
                    return result;
                }
                compose::MergeWriteOptions options;
                options.stamp = std::tm{};
                options.stamp->tm_year = 124;
                options.stamp->tm_mday = 1;
                options.copyChunk = 64;
                std::string output;
                platform::Error error;
                result.ok = compose::WriteMerge(planning.plan, doc, output, error, nullptr, options);
                if (!result.ok) result.error = platform::ErrorText(error);
                return result;
            }};
}

// The settings file is rewritten through the same publish step as the maps.
Scenario SettingsWrite() {
    return {[](const fixture::TempDir& dir) {
                const std::string text = "[Preferences]\r\nLang=ENG\r\nBatchDefaultDir=/old\r\n";
                fixture::WriteBytes(dir.file("Tessaly.ini"), Bytes(text.begin(), text.end()));
            },
            [](const fixture::TempDir& dir) {
                Result result;
                const settings::Settings config(dir.file("Tessaly.ini"));
                const platform::Error error = config.WriteSetting("Preferences", "BatchDefaultDir", "/new maps");
                result.ok = !error;
                result.error = platform::ErrorText(error);
                return result;
            }};
}

TEST(WriteFaults, InPlaceUpdateIsPutBackAfterEveryFailure) {
    ExpectUnchangedAfterEveryFailure(InPlaceUpdate());
    ExpectSameResultDespiteShortWritesAndNoKernelCopy(InPlaceUpdate());
}

TEST(WriteFaults, RegenerationLeavesNothingAfterEveryFailure) {
    for (const auto& [from, to] : {std::pair{4, 3}, std::pair{3, 4}, std::pair{4, 4}}) {
        SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
        ExpectUnchangedAfterEveryFailure(Regeneration(from, to));
        ExpectSameResultDespiteShortWritesAndNoKernelCopy(Regeneration(from, to));
    }
}

TEST(WriteFaults, ExtractionLeavesNothingAfterEveryFailure) {
    ExpectUnchangedAfterEveryFailure(Extraction());
    ExpectSameResultDespiteShortWritesAndNoKernelCopy(Extraction());
}

TEST(WriteFaults, AnEarlierOutputStaysWholeUntilItsSuccessorIs) {
    ExpectUnchangedAfterEveryFailure(Regeneration(4, 4, "map_new.jnx"));
    ExpectUnchangedAfterEveryFailure(Extraction("map_Level2.jnx"));
}

TEST(WriteFaults, BatchSaveKeepsEveryFailedRowsFile) {
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replacing the sources" : "beside the sources");
        ExpectBatchRowsSafeAfterEveryFailure(replace);
        ExpectSameResultDespiteShortWritesAndNoKernelCopy(BatchSave(replace));
    }
}

TEST(WriteFaults, MergeLeavesNothingAfterEveryFailure) {
    ExpectUnchangedAfterEveryFailure(Merge());
    ExpectSameResultDespiteShortWritesAndNoKernelCopy(Merge());
}

TEST(WriteFaults, SettingsFileStaysWholeAfterEveryFailure) {
    ExpectUnchangedAfterEveryFailure(SettingsWrite());
    ExpectSameResultDespiteShortWritesAndNoKernelCopy(SettingsWrite());
}

}  // namespace
