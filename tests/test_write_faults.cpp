// Every writer run once per point where the system can fail it (open, write, kernel copy,
// flush, rename; a disk filling up; torn and short writes; no kernel copies). After a
// failure the folder holds exactly what it held before, no temporary or partial file, and
// the writer said why. A short write or a copy done by hand changes nothing in the result.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <cstring>
#include <functional>
#include <optional>
#include <regex>
#include <tuple>

#include "batch/batch_commands.h"
#include "compose/extract.h"
#include "compose/merge_write.h"
#include "convert/export_custom_maps.h"
#include "convert/export_kmz.h"
#include "convert/export_mbtiles.h"
#include "convert/import_jnx.h"
#include "jnx/modif.h"
#include "jnx/regenerate.h"
#include "operations/fit_map.h"
#include "settings/settings.h"
#include "support/jpeg_pictures.h"
#include "support/ordinary_user.h"
#include "support/web_tiles_builder.h"
#include "support/writer_support.h"
#include "tests/fault/faulty_sys_io.h"

namespace {

using fixture::Snapshot;
using fixture::TakeSnapshot;

// Many small tiles in a few levels, so that a write falls on every part of the file.
fixture::JnxRecipe Recipe(int version, int seedBase = 0) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, 3, 4);
    for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
        recipe.levels[i].scale = 1000 * (int(i) + 1) + seedBase;
        for (std::size_t j = 0; j < recipe.levels[i].tiles.size(); ++j)
            recipe.levels[i].tiles[j].data = fixture::MakeTileData(seedBase + int(10 * i + j), 40 + 17 * j);
    }
    return recipe;
}

fixture::Bytes Built(int version, int seedBase = 0) { return fixture::BuildJnx(Recipe(version, seedBase)).bytes; }

struct Result {
    bool ok = false;
    std::string error;
    batch::SaveSummary summary;  // batch runs only
};

Result Outcome(bool ok, const platform::Error& error) { return {ok, ok ? "" : platform::ErrorText(error), {}}; }

// What a failed run must have left, given the folder before it and after a clean run.
using FailureCheck = std::function<void(const Snapshot& after, const Snapshot& before, const Snapshot& clean,
                                        const Result&, const std::string& where)>;

void ExpectUnchanged(const Snapshot& after, const Snapshot& before, const Snapshot&, const Result& result,
                     const std::string& where) {
    EXPECT_TRUE(!result.ok && !result.error.empty()) << where;
    EXPECT_EQ(fixture::Names(after), fixture::Names(before)) << where;
    EXPECT_TRUE(after == before) << where << ": a file changed";
}

// A writer run over a fresh folder holding files.
struct Scenario {
    std::string name;
    Snapshot files;
    std::function<Result(const fixture::TempDir&)> run;
    FailureCheck check = ExpectUnchanged;
};

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

std::string Describe(fault::Plan plan) {
    static const std::map<fault::Kind, std::string> names{{fault::Kind::NoKernelCopy, "no kernel copy "},
        {fault::Kind::Error, "failed point "}, {fault::Kind::DiskFull, "disk full from write "},
        {fault::Kind::TornWrite, "torn write "}, {fault::Kind::ShortWrite, "short write "}};
    return names.at(plan.kind) + std::to_string(plan.at);
}

// The scenario run clean, then once per point where a call of that run can fail and once
// per write that can fall short, each on a fresh folder. Failed runs go to its check; runs
// that only had to work harder must give the clean run's result.
void RunUnderEveryFault(const Scenario& scenario) {
    struct Run { Result result; int points = 0, writes = 0, unflushedReplacements = 0; bool fired = false;
                 Snapshot after; };
    const auto run = [&](fault::Plan plan) {
        fixture::TempDir dir;
        for (const auto& [name, bytes] : scenario.files) fixture::WriteBytes(dir.file(name), bytes);
        fault::Arm(plan);
        Run r{scenario.run(dir), fault::PointsSeen(), fault::WritesSeen(), fault::UnflushedReplacements(),
              fault::Fired(), {}};
        fault::Disarm();
        r.after = TakeSnapshot(dir.path());
        return r;
    };
    const Run clean = run({});
    ASSERT_TRUE(clean.result.ok) << clean.result.error;
    EXPECT_EQ(clean.unflushedReplacements, 0) << "a file was replaced before its successor was on the device";
    ASSERT_GT(clean.points, 0);  // the exports write through their libraries: no write of ours
    std::vector<fault::Plan> plans{{fault::Kind::NoKernelCopy, 0}};
    for (const auto kind : {fault::Kind::Error, fault::Kind::DiskFull, fault::Kind::TornWrite, fault::Kind::ShortWrite})
        for (int at = 1; at <= (kind == fault::Kind::Error ? clean.points : clean.writes); ++at)
            plans.push_back({kind, at});
    for (const fault::Plan& plan : plans) {
        const Run r = run(plan);
        if (plan.kind == fault::Kind::NoKernelCopy || plan.kind == fault::Kind::ShortWrite) {
            EXPECT_TRUE(r.result.ok) << Describe(plan) << ": " << r.result.error;
            EXPECT_TRUE(r.after == clean.after) << Describe(plan) << ": result differs";
        } else if (r.fired) {  // a full disk fires only if the writer still wrote a new file from that write on
            scenario.check(r.after, scenario.files, clean.after, r.result, Describe(plan));
            EXPECT_EQ(r.result.error.find(".tessaly-"), std::string::npos)
                << Describe(plan) << ": names a temporary: " << r.result.error;
        }
    }
}

edit::EditRequest EditedValues(std::optional<int> version = {}) {
    edit::EditRequest request;
    request.targetVersion = version, request.productId = 42, request.groupName = "Edited group", request.drawOrder = 12;
    request.levels[0].scale = 2400, request.levels[1].scale = 9600, request.levels[2].priority = true;
    return request;
}

// A writer over map.jnx of the given version, read in full first as every caller does.
// staleOutput: a file left under the output's name by an earlier run, which the writer replaces.
using DocumentWriter = std::function<bool(jnx::JnxDocument&, const fixture::TempDir&, platform::Error&)>;

Scenario OneFile(const std::string& name, int version, DocumentWriter write, const std::string& staleOutput = {}) {
    Snapshot files{{"map.jnx", Built(version)}};
    if (!staleOutput.empty()) files[staleOutput] = Built(version, 500);
    return {name, files, [write](const fixture::TempDir& dir) {
                jnx::JnxDocument doc;
                doc.FileName = dir.file("map.jnx");
                std::int32_t tiles = 0;
                platform::Error error;
                if (!jnx::ReadJnx(doc, doc.FileName, tiles, error, jnx::ReadDepth::Full)) return Outcome(false, error);
                return Outcome(write(doc, dir, error), error);
            }};
}

Scenario InPlaceUpdate() {
    return OneFile("InPlaceUpdate", 4, [](jnx::JnxDocument& doc, const fixture::TempDir&, platform::Error& error) {
        return jnx::ModifJNX(doc, fixture::Resolve(EditedValues(), doc).values, doc.FileName, error);
    });
}

Scenario Regeneration(int from, int to, const std::string& staleOutput = {}) {
    return OneFile("Regeneration" + std::to_string(from) + "To" + std::to_string(to) +
                       (staleOutput.empty() ? "" : "OverAnEarlierOutput"), from,
                   [=](jnx::JnxDocument& doc, const fixture::TempDir& dir, platform::Error& error) {
                       jnx::WriterSettings settings;
                       settings.blockSize = 100;  // several copies per level
                       settings.overwrite = !staleOutput.empty();
                       const edit::ResolvedEdit resolved = fixture::Resolve(EditedValues(to), doc);
                       return jnx::RegenerateJnx(doc, resolved.values, resolved.version, doc.FileName,
                                                 dir.file("map_new.jnx"), settings, error);
                   }, staleOutput);
}

// The command line's save: the map locked before it is read, then replaced under that lock.
Scenario ReplacementUnderTheCallersLock() {
    return {"ReplacementUnderTheCallersLock", {{"map.jnx", Built(4)}}, [](const fixture::TempDir& dir) {
                platform::FileLock lock;
                jnx::JnxDocument doc;
                doc.FileName = dir.file("map.jnx");
                std::int32_t tiles = 0;
                platform::Error error;
                if (!lock.Acquire(doc.FileName, std::chrono::seconds(0), error) ||
                    !jnx::ReadJnx(doc, doc.FileName, tiles, error, jnx::ReadDepth::Full))
                    return Outcome(false, error);
                edit::EditRequest request = EditedValues(3);
                request.replaceSource = true;
                const edit::ResolvedEdit resolved = fixture::Resolve(request, doc);
                return Outcome(jnx::RegenerateJnx(doc, resolved.values, resolved.version, doc.FileName,
                                                  resolved.outputPath, {}, error, nullptr, &lock),
                               error);
            }};
}

Scenario Extraction(const std::string& staleOutput = {}) {
    return OneFile(staleOutput.empty() ? "Extraction" : "ExtractionOverAnEarlierOutput", 4,
                   [=](jnx::JnxDocument& doc, const fixture::TempDir& dir, platform::Error& error) {
                       const edit::ResolvedEdit resolved = fixture::Resolve(EditedValues(3), doc, edit::Purpose::Split);
                       jnx::WriterSettings settings;
                       settings.overwrite = !staleOutput.empty();
                       return compose::ExtractLevel(doc, resolved.values, resolved.version, doc.FileName,
                                                    dir.file("map_Level2.jnx"), 2, settings, error);
                   }, staleOutput);
}

// The batch's replacement of a map only its owner and group may read: the new file takes
// the mode, owner and group of the one it replaces.
Scenario ReplacementKeepingPermissions() {
    return OneFile("ReplacementKeepingPermissions", 3,
                   [](jnx::JnxDocument& doc, const fixture::TempDir&, platform::Error& error) {
                       ::chmod(doc.FileName.c_str(), 0640);
                       fixture::GiveToOrdinaryUser(doc.FileName);
                       struct stat before {}, after {};
                       ::stat(doc.FileName.c_str(), &before);
                       edit::EditRequest request = EditedValues(4);
                       request.replaceSource = true;
                       const edit::ResolvedEdit resolved = fixture::Resolve(request, doc);
                       if (!jnx::RegenerateJnx(doc, resolved.values, resolved.version, doc.FileName,
                                               resolved.outputPath, {}, error))
                           return false;
                       ::stat(doc.FileName.c_str(), &after);
                       if (std::tuple(after.st_mode, after.st_uid, after.st_gid) ==
                           std::tuple(before.st_mode, before.st_uid, before.st_gid))
                           return true;
                       error = platform::Error(platform::ErrorCode::CannotWrite).Detail("permissions lost");
                       return false;
                   });
}

// Each row of a batch run stands alone: a failed row must leave its file as it was,
// while the other row's work stays. So the check is made row by row.
void ExpectBatchRowsSafe(bool replaceSource, const Snapshot& after, const Snapshot& before, const Snapshot& clean,
                         const Result& result, const std::string& where) {
    const batch::SaveSummary& summary = result.summary;
    if (summary.Refused()) {  // a file could not even be looked at: nothing may have been touched
        EXPECT_TRUE(after == before) << where;
        return;
    }
    ASSERT_EQ(std::pair(summary.rows.size(), summary.errors), std::pair(std::size_t(2), 1))
        << where << ": one fault fails one row";
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
    EXPECT_EQ(fixture::Names(after), fixture::Names(expected)) << where;
    EXPECT_TRUE(after == expected) << where << ": a file differs";
}

// a.jnx is regenerated (beside itself or over it), b.jnx patched in place.
Scenario BatchSave(bool replaceSource) {
    using namespace std::placeholders;
    return {replaceSource ? "BatchSaveReplacingTheSources" : "BatchSaveBesideTheSources",
            {{"a.jnx", fixture::BuildJnx(Recipe(3, 1)).bytes}, {"b.jnx", Built(4, 2)}},
            [replaceSource](const fixture::TempDir& dir) {
                edit::EditRequest request = EditedValues(4);
                request.replaceSource = replaceSource, request.drawOrder = 20;
                Result r;
                r.summary = batch::SaveFilesAsBatch({dir.file("a.jnx"), dir.file("b.jnx")}, "", request, {});
                r.ok = !r.summary.Refused() && r.summary.errors == 0;
                for (const auto& row : r.summary.rows) r.error += platform::ErrorText(row.error);
                return r;
            },
            std::bind(ExpectBatchRowsSafe, replaceSource, _1, _2, _3, _4, _5)};
}

Scenario Merge() {
    fixture::JnxRecipe east = Recipe(4, 1), west = Recipe(4, 100);
    east.levels.resize(2), west.levels.resize(2);
    return {"Merge", {{"east.jnx", fixture::BuildJnx(east).bytes}, {"west.jnx", fixture::BuildJnx(west).bytes}},
            [](const fixture::TempDir& dir) {
                edit::EditRequest request;
                request.productId = 5;
                const compose::MergePlanning planning =
                    compose::PlanMerge(fixture::MergeSourcesOf({dir.file("east.jnx"), dir.file("west.jnx")}), request,
                                       compose::MergeFolderRule{"", dir.file("out")});
                if (planning.outcome != compose::MergePlanning::Outcome::Planned) return Outcome(false, planning.error);
                compose::MergeWriteOptions options;
                options.stamp.emplace().tm_year = 124, options.stamp->tm_mday = 1;
                options.copyChunk = 64;
                jnx::JnxDocument doc;
                std::string output;
                platform::Error error;
                return Outcome(compose::WriteMerge(planning.plan, doc, output, error, nullptr, options), error);
            }};
}

// The settings file is rewritten through the same publish step as the maps.
Scenario SettingsWrite() {
    const std::string text = "[Preferences]\r\nLang=ENG\r\nBatchDefaultDir=/old\r\n";
    return {"SettingsFile", {{"Tessaly.ini", fixture::Bytes(text.begin(), text.end())}},
            [](const fixture::TempDir& dir) {
                const platform::Error error = settings::Settings(dir.file("Tessaly.ini"))
                                                  .WriteSetting("Preferences", "BatchDefaultDir", "/new maps");
                return Outcome(!error, error);
            }};
}

// Web-map tiles of two zooms, twelve of the finer; pictures that decode where they are
// to be joined.
std::vector<fixture::MbtilesRow> WebRows(bool pictures = false) {
    const auto jpeg = [pictures](int seed) {
        return pictures ? fixture::Encode(256, 256, seed, {}) : fixture::MakeJpeg(seed, 256, 256, 60);
    };
    std::vector<fixture::MbtilesRow> rows;
    for (int i = 0; i < 12; ++i) rows.push_back({5, 4 + i % 4, 9 + i / 4, jpeg(i)});
    rows.push_back({4, 2, 4, jpeg(20)});
    return rows;
}

// An import cut into three volumes: a failure in any of them, even in the rename of the
// last, leaves none behind. Joined, the images are first spooled beside the output, and
// the spool goes too.
Scenario ImportVolumes(bool joined = false) {
    const fixture::TempDir build;
    fixture::WriteMbtiles(build.file("in.mbtiles"), WebRows(joined));
    return {joined ? "ImportJoinedVolumes" : "ImportVolumes",
            {{"in.mbtiles", fixture::ReadBytes(build.file("in.mbtiles"))}},
            [joined](const fixture::TempDir& dir) {
                convert::ImportOptions options;
                options.limits.tilesPerLevel = joined ? 2 : 4;
                if (joined) options.join = convert::TileJoin::TwoByTwo;
                convert::ImportResult result;
                platform::Error error;
                const bool ok = convert::ImportTiles(dir.file("in.mbtiles"), dir.file("map.jnx"), options, result, error);
                // Each run gives its volumes new GUIDs; blanked, the runs compare. (Read
                // without the system-call layer, whose points belong to the import.)
                const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
                for (const convert::WrittenFile& file : result.files) {
                    const fixture::Bytes bytes = fixture::ReadBytes(file.path);
                    const std::string blanked = std::regex_replace(std::string(bytes.begin(), bytes.end()), guid,
                                                                   "GUID", std::regex_constants::format_first_only);
                    fixture::WriteBytes(file.path, fixture::Bytes(blanked.begin(), blanked.end()));
                }
                return Outcome(ok && result.files.size() == (joined ? 2 : 3), error);
            }};
}

// MBTiles are written through SQLite, so what the system can fail there is the publish
// step around it and the map read; a KMZ is written through the publish step's own file,
// every write of it, also over an earlier KMZ, which stays whole.
// The zip library dates each member anew on every run; the members' names and bytes are
// what must agree.
void KeepOnlyMembers(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    fixture::Bytes members;
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        members.insert(members.end(), stat.name, stat.name + std::strlen(stat.name) + 1);
        fixture::Bytes bytes(stat.size);
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        bytes.resize(std::size_t(std::max<zip_int64_t>(0, zip_fread(file, bytes.data(), bytes.size()))));
        zip_fclose(file);
        members.insert(members.end(), bytes.begin(), bytes.end());
    }
    if (archive) zip_discard(archive);
    fixture::WriteBytes(path, members);
}

Scenario Export(bool kmz, bool over = false) {
    const fixture::TempDir build;
    fixture::WriteMbtiles(build.file("in.mbtiles"), WebRows());
    convert::ImportResult imported;
    platform::Error error;
    EXPECT_TRUE(convert::ImportTiles(build.file("in.mbtiles"), build.file("map.jnx"), {}, imported, error));
    Snapshot files{{"map.jnx", fixture::ReadBytes(build.file("map.jnx"))}};
    if (over) files["map.kmz"] = {'o', 'l', 'd'};
    return {std::string(kmz ? "ExportKmz" : "ExportMbtiles") + (over ? "OverAnother" : ""), files,
            [kmz](const fixture::TempDir& dir) {
                convert::ExportResult result;
                platform::Error e;
                const bool ok = kmz ? convert::ExportKmz(dir.file("map.jnx"), dir.file("map.kmz"), {1, 2}, result, e)
                                    : convert::ExportMbtiles(dir.file("map.jnx"), dir.file("map.mbtiles"), {1, 2}, result, e);
                if (ok && kmz) KeepOnlyMembers(dir.file("map.kmz"));
                return Outcome(ok && result.tiles == 13, e);
            }};
}

// A fit that rewrites a progressive tile and joins a level of 2 x 2 tiles into one, over
// an earlier output, which stays whole.
Scenario Fit() {
    fixture::JnxRecipe recipe;
    recipe.reserved = {0, 7, 0};
    const auto tile = [](int seed, int col, int row, bool progressive) {
        const fixture::Bytes jpeg = fixture::Encode(16, 16, seed, {3, 2, 2, 75, progressive});
        return fixture::TileRecipe{fixture::Bytes(jpeg.begin() + 2, jpeg.end()),
                                   {100 - 10 * row, 70 + 10 * col, 90 - 10 * row, 60 + 10 * col}, {16, 0, 16, 0}};
    };
    recipe.levels.resize(2);
    recipe.levels[0].tiles = {tile(0, 0, 0, true)};
    recipe.levels[1].zoom = 2, recipe.levels[1].scale = 1000;
    for (int i = 0; i < 4; ++i) recipe.levels[1].tiles.push_back(tile(i + 1, i % 2, i / 2, false));
    return {"Fit",
            {{"map.jnx", fixture::BuildJnx(recipe).bytes}, {"map_fit.jnx", Built(4)}},
            [](const fixture::TempDir& dir) {
                operations::FitRequest request;
                request.source = dir.file("map.jnx");
                request.overwrite = true, request.tilesPerLevel = 2;
                const operations::FitOutcome outcome = operations::FitMap(request);
                return Outcome(outcome.result == operations::FitOutcome::Result::Written && outcome.left.empty(),
                               outcome.error);
            }};
}

// Custom Maps cut into two KMZ files, their images made while each archive is written: a
// failure in either, even in the rename of the second, leaves neither behind, and the
// third part of an earlier export stays until the new set is whole.
Scenario CustomMapsExport() {
    fixture::JnxRecipe recipe;
    recipe.levels.resize(1);
    for (int i = 0; i < 4; ++i) {
        const int wide = i % 2 ? 32 : 16;  // tiles of two sizes: each is an image of its own
        const fixture::Bytes jpeg = fixture::Encode(wide, 16, i, {});
        recipe.levels[0].tiles.push_back({fixture::Bytes(jpeg.begin() + 2, jpeg.end()),
                                          {100 - 10 * i, 70, 90 - 10 * i, 60},
                                          {std::uint8_t(wide), 0, 16, 0}});
    }
    return {"ExportCustomMaps",
            {{"map.jnx", fixture::BuildJnx(recipe).bytes}, {"map_3.kmz", {1}}},
            [](const fixture::TempDir& dir) {
                convert::CustomMapsOptions options;
                options.maxImages = 2, options.level = 1, options.overwrite = true;
                convert::CustomMapsResult result;
                platform::Error error;
                const bool ok =
                    convert::ExportCustomMaps(dir.file("map.jnx"), dir.file("map.kmz"), options, result, error);
                for (const convert::CustomMapsFile& file : result.files) KeepOnlyMembers(file.path);
                return Outcome(ok && result.files.size() == 2, error);
            }};
}

class WriteFaults : public ::testing::TestWithParam<Scenario> {};

TEST_P(WriteFaults, FolderAsItWasAfterEveryFailure) { RunUnderEveryFault(GetParam()); }

// Over an earlier output: it stays whole until its successor is. The version changes both
// ways run in the replacements.
INSTANTIATE_TEST_SUITE_P(Writers, WriteFaults,
                         ::testing::Values(InPlaceUpdate(), Regeneration(4, 4), Regeneration(4, 4, "map_new.jnx"),
                                           ReplacementUnderTheCallersLock(), Extraction(), Extraction("map_Level2.jnx"),
                                           ReplacementKeepingPermissions(), BatchSave(false), BatchSave(true), Merge(),
                                           SettingsWrite(), ImportVolumes(), ImportVolumes(true), Export(true),
                                           Export(true, true), Export(false), Fit(), CustomMapsExport()),
                         [](const auto& p) { return p.param.name; });

}  // namespace
