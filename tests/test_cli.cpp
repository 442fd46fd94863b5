// tessaly-cli run as a child process on files built in a temporary folder: the exit status,
// what goes to stdout and to stderr, and what is (and is not) written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string_view>

#include "check/level_resolution.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "platform/text.h"
#include "support/edit_support.h"
#include "support/other_writer.h"
#include "support/run_program.h"
#include "support/writer_support.h"

namespace {

using fixture::Occurrences;
using Strings = std::vector<std::string>;
using testing::PrintToString;

// Whether text is one JSON value (RFC 8259) that a strict parser takes: valid UTF-8, and no
// \u escape of a surrogate (the writer has no reason to write even a paired one). Scalars
// become tokens with only punctuation between them; then arrays and objects of tokens fold
// into tokens until one is left.
bool StrictJson(const std::string& text) {
    if (!platform::IsValidUtf8(text) || std::regex_search(text, std::regex(R"(\\u[dD][89a-fA-F])"))) return false;
    static const std::regex kScalar(R"("([^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*"|true|false|null|)"
                                    R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
    static const std::regex kFold(R"(\[\]|\{\}|\[[sv](,[sv])*\]|\{s:[sv](,s:[sv])*\})");
    std::string tokens;
    std::size_t at = 0;
    const auto punctuation = [&](std::size_t to) {
        for (; at < to; ++at)
            if (std::string_view(" \t\n\r").find(text[at]) == std::string_view::npos) tokens += text[at];
    };
    for (std::sregex_iterator m(text.begin(), text.end(), kScalar), end; m != end; ++m) {
        punctuation(static_cast<std::size_t>(m->position()));
        tokens += text[at] == '"' ? 's' : 'v';
        at += static_cast<std::size_t>(m->length());
    }
    punctuation(text.size());
    if (tokens.find_first_not_of("sv[]{}:,") != std::string::npos) return false;
    for (std::string before; before != tokens;) {
        before = tokens;
        tokens = std::regex_replace(tokens, kFold, "v");
    }
    return tokens == "v" || tokens == "s";
}

class CliTest : public ::testing::Test {
protected:
    fixture::TempDir dir, scratch;

    // The source tree's settings stand in for the user's own copy.
    void SetUp() override {
        ASSERT_EQ(::mkdir(scratch.file("tessaly").c_str(), 0755), 0);
        fixture::WriteBytes(scratch.file("tessaly/Tessaly.ini"), fixture::ReadBytes(TESSALY_INI_PATH));
        ::setenv("XDG_CONFIG_HOME", scratch.path().c_str(), 1);
    }
    fixture::ProgramRun Run(const Strings& args) { return fixture::RunProgram(TESSALY_CLI_PATH, args, scratch.path()); }
    std::string Make(const std::string& name, const fixture::JnxRecipe& recipe) {
        fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
        return dir.file(name);
    }
    // Runs args and checks the status and the whole of stdout; stderr stays empty after a
    // success, and after a failure holds one line, with why in it.
    void Expect(const Strings& args, int code, const std::string& out, const std::string& why = "") {
        const fixture::ProgramRun r = Run(args);
        const std::string shown = PrintToString(args) + "\n" + r.out + r.err;
        EXPECT_EQ(r.code, code) << shown;
        EXPECT_EQ(r.out, out) << shown;
        EXPECT_NE(r.err.find(why), std::string::npos) << shown;
        EXPECT_EQ(Occurrences(r.err, "\n"), code == 0 ? 0 : 1) << shown;
    }
    static jnx::JnxDocument Read(const std::string& path) { return fixture::ReadFull(path); }
};

// Help and the version go to stdout with 0; a usage error goes to stderr with 2 and touches nothing.
TEST_F(CliTest, HelpVersionAndUsageErrors) {
    const std::string file = Make("u.jnx", fixture::SimpleRecipe(4, 2, 2));
    const fixture::Bytes before = fixture::ReadBytes(file);
    // clang-format off
    std::vector<std::pair<Strings, int>> cases = {
        {{"--help"}, 0}, {{"-h"}, 0}, {{"--version"}, 0}, {{}, 2}, {{"frobnicate", file}, 2}, {{"info"}, 2},
        {{"info", file, "--quick=yes"}, 2}, {{"info", file, "--settings"}, 2}, {{"save"}, 2},
        {{"save", file, "--bogus"}, 2}, {{"save", file, file, "--rename", "x.jnx"}, 2},
        {{"save", file, "--replace", "--zoom", "1=3"}, 2}, {{"save", file, "--priority", "9"}, 2},
        {{"save", file, "--priority", "2"}, 2}, {{"save", file, "--zoom", "6=3"}, 2},
        {{"save", file, "--zoom", "1=x"}, 2}, {{"split", file}, 2}, {{"scan"}, 2},
        {{"scan", dir.path(), dir.path()}, 2}, {{"merge"}, 2}, {{"merge", file, file, "--out", ""}, 2},
        {{"demo"}, 2}, {{"demo", file, file}, 2}, {{"check"}, 2}, {{"check", file, "--shallow"}, 2},
        {{"devices", file}, 2},
    };
    // clang-format on
    for (const char* command : {"info", "save", "split", "scan", "merge", "check", "demo", "devices"})
        cases.insert(cases.end(), {{{command, "--help"}, 0}, {{command, "-h"}, 0}, {{command, "--bogus", "--help"}, 0}});
    for (const auto& [args, code] : cases) {
        const fixture::ProgramRun r = Run(args);
        EXPECT_EQ(r.code, code) << PrintToString(args) << r.err;
        EXPECT_EQ(r.out.empty(), code != 0) << PrintToString(args) << r.out;
        EXPECT_EQ(r.err.empty(), code == 0) << PrintToString(args) << r.err;
    }
    EXPECT_EQ(Run({"--version"}).out, "tessaly-cli " TESSALY_VERSION "\n");
    EXPECT_EQ(fixture::ReadBytes(file), before);
    EXPECT_EQ(dir.list(), Strings{"u.jnx"});
}

// info, scan and check show every file, mark the one they cannot read and exit 1; check
// finds the demo map ready, deep, and names the one error it finds; nothing is written. File
// names are bytes: the JSON stays strict UTF-8 whatever they hold, and keeps them whole in
// the escape json.h documents.
TEST_F(CliTest, ReportsShowEveryFileInStrictJsonAndNeverWrite) {
    Expect({"demo", dir.file("demo.jnx")}, 0, "created " + dir.file("demo.jnx") + "\n");
    Expect({"check", "--deep", dir.file("demo.jnx")}, 0, dir.file("demo.jnx") + ": ready for the device\n");
    fixture::JnxRecipe v4 = fixture::SimpleRecipe(4, 2, 3), v3 = fixture::SimpleRecipe(3, 1, 2), flipped = v3;
    v4.bounds = {536870912, 268435456, -536870912, -268435456};  // 45, 22.5, -45, -22.5 degrees
    v4.groupName = "Quote \" back \\ tab \t caf\xe9\x01\r\n";
    v3.bounds = {1000, 1000, 0, 0};
    flipped.bounds = {0, 10, 10, 0};  // north below south
    v4.reserved = v3.reserved = flipped.reserved = {0, 7, 0};  // the product ID's copy in step
    const std::string good4 = Make("caf\xe9 100%.jnx", v4), good3 = Make("b.jnx", v3);
    Make("flipped.jnx", flipped);
    fixture::Bytes truncated = fixture::BuildJnx(fixture::SimpleRecipe(4, 1, 1)).bytes;
    truncated.resize(30);
    fixture::WriteBytes(dir.file("bad.jnx"), truncated);
    const fixture::Snapshot before = fixture::TakeSnapshot(dir.path());

    const fixture::ProgramRun info = Run({"info", "--json", good4, dir.file("bad.jnx"), good3});
    EXPECT_EQ(info.code, 1);
    EXPECT_EQ(Occurrences(info.err, "bad.jnx: "), 1) << info.err;
    for (const char* value : {"\"ok\": false", "\"error\": ", "\"north\": 45,", "\"west\": -22.5",
                              "\"draw_order\": 25", "\"tile_total\": 6"})
        EXPECT_EQ(Occurrences(info.out, value), 1) << value << "\n" << info.out;
    const fixture::ProgramRun scan = Run({"scan", "--json", dir.path()}), check = Run({"check", "--json", dir.path()});
    EXPECT_EQ(std::pair(scan.code, check.code), std::pair(1, 1)) << scan.err << check.err;
    // The scan's values are typed, and its device answer comes from a read of the tile
    // tables, as check's does.
    for (const auto& [value, count] : std::vector<std::pair<std::string, int>>{
             {"\"device\": \"ready\"", 3}, {"\"device\": \"errors\"", 1}, {"\"device\": \"unread\"", 1},
             {"\"device_codes\": [\n      \"bounds_invalid\"", 1}, {"\"total_tiles\": 6,", 1},
             {"\"draw_order\": null", 3}, {"\"error\": null", 4}, {"\"error\": {\n      \"code\": \"", 1},
             {"\"needs_regeneration\": false", 5}})
        EXPECT_EQ(Occurrences(scan.out, value), count) << value << "\n" << scan.out;
    EXPECT_EQ(Occurrences(scan.out, "\"subfolder\": \"\""), 5) << scan.out;
    for (const auto& [value, count] : std::vector<std::pair<std::string, int>>{
             {"\"files\": [", 1}, {"\"folders\": [", 1}, {"\"jnx_files\": 5", 1}, {"\"ok\": false", 2},
             {"\"ok\": true", 3}, {"\"error\": ", 1}, {"\"code\": \"bounds_invalid\"", 1},
             {"\"severity\": \"error\"", 1}, {"\"level\": ", 0}})
        EXPECT_EQ(Occurrences(check.out, value), count) << value << "\n" << check.out;
    for (const std::string& out : {info.out, scan.out, check.out}) {
        EXPECT_TRUE(StrictJson(out)) << out;
        EXPECT_NE(out.find("\"" + dir.path() + "/caf%E9 100%25.jnx\""), std::string::npos) << out;
    }
    for (const std::string& out : {info.out, scan.out}) {
        EXPECT_NE(out.find("\"Quote \\\" back \\\\ tab \\t caf"), std::string::npos) << out;
        EXPECT_NE(out.find("\\u0001\\r\\n\""), std::string::npos) << out;
    }

    const fixture::ProgramRun text = Run({"check", dir.path()});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.out.find("bad.jnx: cannot be read: "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("flipped.jnx: 1 error, 0 warnings\n  error bounds_invalid: "), std::string::npos) << text.out;
    EXPECT_EQ(fixture::TakeSnapshot(dir.path()), before);

    // A device root is judged as a whole: two copies of one map share a GUID, and one that
    // cannot be read is not counted. A root that is not there is an error.
    const std::string unit = scratch.file("unit/Garmin/BirdsEye/");
    std::filesystem::create_directories(unit);
    for (const char* name : {"a.jnx", "b.jnx"}) fixture::WriteBytes(unit + name, fixture::ReadBytes(good3));
    fixture::WriteBytes(unit + "c.jnx", truncated);
    for (const char* format : {"--deep", "--json"}) {
        const fixture::ProgramRun r = Run({"check", format, "--device-root", scratch.file("unit")});
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_NE(r.out.find("map_guid_duplicate"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(unit + "c.jnx"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Run({"check", "--json", "--device-root", scratch.file("gone")}).code, 1);
}

// A file that keeps its version is patched in place; one of a new version is written anew
// beside its source over a stale output, or with --replace in its place.
TEST_F(CliTest, SaveUpdatesInPlaceOrWritesANewFile) {
    const std::string v4 = Make("p.jnx", fixture::SimpleRecipe(4, 2, 2));
    Expect({"save", v4, "--product-id", "1234", "--draw-order", "17", "--zoom", "2=7"}, 0, "updated " + v4 + "\n");
    const jnx::JnxDocument patched = Read(v4);
    EXPECT_EQ(std::tuple(patched.Header.ProductId, patched.Header.DrawOrder, patched.LevelInfos[1].Zoom),
              std::tuple(1234, 17, 7));

    // The output's name is the program's: a link planted there (to the source, or to a file
    // of someone else's) is never written through, and is replaced only with --overwrite.
    const std::string v3 = Make("r.jnx", fixture::SimpleRecipe(3, 2, 2)), out = dir.file("r_new.jnx");
    const fixture::Bytes before = fixture::ReadBytes(v3);
    fixture::WriteBytes(scratch.file("victim"), {1, 2, 3});
    for (const std::string& target : {v3, scratch.file("victim")}) {
        std::filesystem::remove(out);
        std::filesystem::create_symlink(target, out);
        Expect({"save", v3, "--to-version", "4"}, 1, "", "--overwrite");
    }
    Expect({"save", v3, "--to-version", "4", "--group", "Group B", "--rename", "x.jnx", "--overwrite"}, 0,
           "created " + out + "\n");
    EXPECT_EQ(fixture::ReadBytes(v3), before);
    EXPECT_EQ(fixture::ReadBytes(scratch.file("victim")), (fixture::Bytes{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::is_symlink(out));
    EXPECT_EQ(std::pair(Read(out).Header.Version, Read(out).Header.DrawOrder), std::pair(4, 25));

    // p.jnx keeps its version, so --replace changes nothing for it.
    Expect({"save", v3, v4, "--to-version", "4", "--replace", "--product-id", "44"}, 0,
           "replaced " + v3 + "\nupdated " + v4 + "\n");
    EXPECT_EQ(std::tuple(Read(v3).Header.Version, Read(v3).Header.ProductId, Read(v4).Header.ProductId),
              std::tuple(4, 44, 44));
    EXPECT_EQ(dir.list(), (Strings{"p.jnx", "r.jnx", "r_new.jnx"}));  // no temporary left
}

// A save that meets another writer's lock waits, even for one that renames a new file
// over the map, and then edits what that writer left.
TEST_F(CliTest, ASecondSaveWaitsAndKeepsTheFirstEdit) {
    const std::string map = Make("m.jnx", fixture::SimpleRecipe(4, 2, 2));
    const auto replace = [](jnx::JnxDocument& doc, const platform::FileLock& lock) {
        edit::EditRequest request;
        request.targetVersion = 3, request.replaceSource = true;
        const edit::ResolvedEdit resolved = fixture::Resolve(request, doc);
        platform::Error error;
        return jnx::RegenerateJnx(doc, resolved.values, 3, doc.FileName, resolved.outputPath, {}, error, nullptr, &lock);
    };
    fixture::OtherWriter first(map, replace, std::chrono::milliseconds(300));
    ASSERT_TRUE(first.Started());
    Expect({"save", map, "--product-id", "99"}, 0, "updated " + map + "\n");
    EXPECT_TRUE(first.Finish()) << "the first edit was lost";
    EXPECT_EQ(std::pair(Read(map).Header.Version, Read(map).Header.ProductId), std::pair(3, 99));
}

// Whether a file fails alone or the whole run is refused, nothing is touched.
TEST_F(CliTest, FailedSavesReportOnStderrAndTouchNothing) {
    const std::string file = Make("f.jnx", fixture::SimpleRecipe(4, 2, 2)), bad = dir.file("h.jnx");
    const std::string other = Make("g.jnx", fixture::SimpleRecipe(4, 1, 1));
    fixture::WriteBytes(bad, {1, 2, 3});
    const fixture::Bytes fileBefore = fixture::ReadBytes(file), otherBefore = fixture::ReadBytes(other);
    Expect({"save", bad, "--product-id", "3"}, 1, "", bad + ": ");
    Expect({"save", file, "--rename", "f.txt", "--product-id", "3"}, 1, "", "All selected files need valid filename.");
    // The editor-like save would patch g.jnx; the batch save refuses the whole run.
    Expect({"save", other, bad, "--replace", "--product-id", "3"}, 1, "", "All erroneous files must be unchecked.");
    EXPECT_EQ(std::pair(fixture::ReadBytes(file), fixture::ReadBytes(other)), std::pair(fileBefore, otherBefore));
    EXPECT_EQ(dir.list(), (Strings{"f.jnx", "g.jnx", "h.jnx"}));

    // Without the batch rules the run goes on after a failed file.
    Expect({"save", bad, other, "--product-id", "9"}, 1, "updated " + other + "\n", bad + ": ");
    EXPECT_EQ(Read(other).Header.ProductId, 9);
}

// --replace puts the new file where the user's map was: its mode stays, a link stays a link
// with the map it names converted, and a name at the length limit is no obstacle.
TEST_F(CliTest, ReplaceKeepsTheMapInItsPlace) {
    const std::string plain = Make("m.jnx", fixture::SimpleRecipe(3, 1, 1)), link = dir.file("link.jnx");
    ::chmod(plain.c_str(), 0640);
    const fixture::TempDir elsewhere;
    const std::string target = elsewhere.file("t.jnx");
    fixture::WriteBytes(target, fixture::BuildJnx(fixture::SimpleRecipe(3, 2, 1)).bytes);
    std::filesystem::create_symlink(target, link);
    const std::string longest = Make(std::string(246, 'n') + ".jnx", fixture::SimpleRecipe(3, 1, 2));
    Expect({"save", plain, link, longest, "--to-version", "4", "--replace"}, 0,
           "replaced " + plain + "\nreplaced " + link + "\nreplaced " + longest + "\n");
    for (const std::string& path : {plain, target, longest}) EXPECT_EQ(Read(path).Header.Version, 4) << path;
    struct stat st {};
    EXPECT_TRUE(::stat(plain.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(dir.list(), (Strings{"link.jnx", "m.jnx", std::string(246, 'n') + ".jnx"}));
    EXPECT_EQ(elsewhere.list(), Strings{"t.jnx"});
    // A pipe named as a map is refused at once: its lock is taken before it is read.
    ASSERT_EQ(::mkfifo(dir.file("pipe.jnx").c_str(), 0644), 0);
    Expect({"save", dir.file("pipe.jnx"), "--product-id", "1"}, 1, "", "is not a regular file");
}

// The profiles are listed; --device changes the rows info gives and check judges by, and a
// name no profile has is a usage error. The demo map's levels show from their own rows.
TEST_F(CliTest, DeviceProfilesMoveTheRowsALevelShowsAt) {
    const std::string demo = dir.file("demo.jnx");
    Run({"demo", demo});
    const fixture::ProgramRun devices = Run({"devices", "--json"});
    EXPECT_TRUE(devices.code == 0 && StrictJson(devices.out)) << devices.out;
    for (const char* value : {"\"in_use\": true", "\"factor\": 3.5"})
        EXPECT_EQ(Occurrences(devices.out, value), 1) << value;
    EXPECT_EQ(Occurrences(Run({"devices"}).out, " (in use)"), 1);
    const fixture::ProgramRun classic = Run({"info", "--json", demo});
    const fixture::ProgramRun later = Run({"info", "--json", "--device", "gpsmap67", demo});
    for (const char* value : {"\"shown_from\": \"1.2 km\"", "\"shown_from\": \"800 m\"", "\"shown_to\": \"5 m\""})
        EXPECT_EQ(Occurrences(classic.out, value), 1) << value << classic.out;
    EXPECT_EQ(Occurrences(later.out, "\"shown_from\": \"300 m\""), 1) << later.out;
    EXPECT_EQ(Occurrences(later.out, "\"covered_by\": null"), 3);
    // The custom profile with the same factor is the same family; a factor out of bounds,
    // or for another profile, is a usage error.
    const fixture::ProgramRun custom = Run({"info", "--json", "--device", "custom", "--factor", "3.5", demo});
    EXPECT_EQ(Occurrences(custom.out, "\"shown_from\": \"300 m\""), 1) << custom.out;
    for (const Strings& factor : {Strings{"custom", "100.5"}, Strings{"custom", "0"}, Strings{"gpsmap67", "3.5"}})
        EXPECT_EQ(Run({"check", demo, "--device", factor[0], "--factor", factor[1]}).code, 2) << factor[1];
    const fixture::ProgramRun check = Run({"check", "--json", "--device", "gpsmap67", demo});
    EXPECT_EQ(Occurrences(check.out, "\"code\": \"scale_far_from_imagery\""), 3) << check.out;
    for (const char* command : {"info", "check", "import"})
        EXPECT_EQ(Run({command, demo, "--device", "nokia", "--out", dir.file("o.jnx")}).code, 2) << command;
}

// --fit-scales gives each level its native scale under the profile's factor; two levels of
// one imagery are told apart by one, the coarser keeping the larger; a level of unknown
// resolution keeps its scale. The demo map already fits.
TEST_F(CliTest, FitScalesGivesEachLevelItsNativeScale) {
    constexpr std::int32_t kDegree = 11930465;
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 4, 1);
    recipe.bounds = {10 * kDegree, 10 * kDegree, 0, 0};
    for (std::size_t k = 0; k < 4; ++k) {  // 256-pixel tiles at 5 degrees north: 2, 1, 1 degrees wide, no size
        const std::int32_t half = k == 0 ? kDegree : kDegree / 2;
        recipe.levels[k].scale = 10 + std::int32_t(k);
        recipe.levels[k].tiles[0].bounds = {5 * kDegree + half, 4 * kDegree + 2 * half, 5 * kDegree - half,
                                            4 * kDegree};
        recipe.levels[k].tiles[0].aux = {0, std::uint8_t(k < 3), 0, std::uint8_t(k < 3)};
    }
    for (const std::string device : {"classic", "gpsmap67"}) {
        const std::string file = Make("f.jnx", recipe);
        const auto measured = check::MeasureLevels(Read(file));
        const double f = device == "classic" ? 1.0 : 3.5;
        const auto warnings = [&] {
            return Occurrences(Run({"check", "--json", "--device", device, file}).out, "scale_far_from_imagery");
        };
        EXPECT_EQ(warnings(), 3);
        Expect({"save", file, "--fit-scales", "--device", device}, 0,
               "updated " + file + "\nlevel 4: resolution unknown, scale kept\n");
        std::vector<std::int32_t> scales;
        for (const auto& level : Read(file).Levels) scales.push_back(level.Scale);
        EXPECT_EQ(scales, (std::vector<std::int32_t>{measured[0].NativeScale(f), measured[1].NativeScale(f),
                                                     measured[2].NativeScale(f) - 1, 13}));
        EXPECT_EQ(warnings(), 0);
    }
    const std::string demo = dir.file("demo.jnx");
    Run({"demo", demo});
    const fixture::Bytes before = fixture::ReadBytes(demo);
    Expect({"save", demo, "--fit-scales"}, 0, "updated " + demo + "\n");
    EXPECT_EQ(fixture::ReadBytes(demo), before);
    EXPECT_EQ(Run({"save", demo, "--fit-scales", "--level", "1=1"}).code, 2);
}

// A refusal (a level the file lacks, a file of one level, one file to merge) writes nothing.
TEST_F(CliTest, DemoSplitAndMergeWriteTheirFilesOrRefuseBeforeWriting) {
    Expect({"demo", dir.file("demo.jnx")}, 0, "created " + dir.file("demo.jnx") + "\n");
    const jnx::JnxDocument demo = Read(dir.file("demo.jnx"));
    EXPECT_EQ(demo.Header.LevelCount, 3);
    for (const auto& preview : demo.Previews)  // real pictures: a JFIF header to the end marker
        EXPECT_TRUE(preview.size() > 1000 && preview[0] == 0xFF && preview[1] == 0xD8 && preview[2] == 0xFF &&
                    preview[3] == 0xE0 && preview.end()[-2] == 0xFF && preview.back() == 0xD9);
    const std::string file = Make("s.jnx", fixture::SimpleRecipe(4, 3, 2));
    const std::string one = Make("o.jnx", fixture::SimpleRecipe(4, 1, 1));
    Expect({"split", file, "1", "4"}, 1, "", "");
    Expect({"split", one, "1"}, 1, "", "");
    Expect({"merge", one}, 1, "", "");
    EXPECT_EQ(dir.list(), (Strings{"demo.jnx", "o.jnx", "s.jnx"}));

    // A level file already there stops the split before anything is written.
    fixture::WriteBytes(dir.file("s_Level3.jnx"), {1});
    Expect({"split", file, "3", "1"}, 1, "", "--overwrite");
    EXPECT_EQ(dir.list(), (Strings{"demo.jnx", "o.jnx", "s.jnx", "s_Level3.jnx"}));
    Expect({"split", file, "3", "1", "--overwrite"}, 0,
           dir.file("s_Level1.jnx") + "\n" + dir.file("s_Level3.jnx") + "\n");
    EXPECT_EQ(fixture::TilesIn(dir.file("s_Level3.jnx")), fixture::LevelTiles{fixture::TilesIn(file)[2]});

    const fixture::ProgramRun r = Run({"merge", file, one, "--out", dir.file("out"), "--product-id", "77"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.rfind(dir.file("out/"), 0), 0u) << r.out;
    const jnx::JnxHeader merged = Read(r.out.substr(0, r.out.size() - 1)).Header;
    EXPECT_EQ(std::pair(merged.LevelCount, merged.ProductId), std::pair(4, 77));
}

// One reading on every road: the windows read their boxes through the field parsers the
// options go through, so save, merge, import and both windows give a value the same answer.
// A draw order the unit does not take is a 16-bit value like any: written, and check warns.
// A blank group asks for nothing, so the stored name stays.
TEST_F(CliTest, EveryRoadAnswersAValueAlike) {
    using platform::ErrorCode;
    const std::string map = Make("v.jnx", fixture::SimpleRecipe(4, 2, 2));
    const jnx::Bytes group = Read(map).MapInfo.GroupName;
    const std::vector<std::tuple<std::string, std::string, ErrorCode>> cases = {
        {"--draw-order", "32768", ErrorCode::BadDrawOrder}, {"--draw-order", "40000", ErrorCode::BadDrawOrder},
        {"--draw-order", " abc", ErrorCode::BadDrawOrder},  {"--product-id", "32768", ErrorCode::BadProductId},
        {"--draw-order", "-1", ErrorCode::None},            {"--draw-order", "101", ErrorCode::None},
        {"--group", " ", ErrorCode::None}};
    for (const auto& [option, value, code] : cases) {
        edit::EditRequest request;
        platform::Error error;
        if (option == "--group") edit::ParseGroupName(value, request);
        else (option == "--draw-order" ? edit::ParseDrawOrder : edit::ParseProductId)(value, request, error);
        EXPECT_EQ(error.code, code) << option << value;
        const std::string said = platform::ErrorText(error);
        for (Strings args : {Strings{"save", map}, Strings{"merge", map, map, "--out", dir.file("m")},
                             Strings{"import", "none.mbtiles", "--out", dir.file("o.jnx")}}) {
            args.insert(args.end(), {option, value});
            const fixture::ProgramRun r = Run(args);
            const bool refused = r.code == 2 && r.err.find(said) != std::string::npos;
            EXPECT_EQ(refused, code != ErrorCode::None) << PrintToString(args) << r.err;
        }
        if (code == ErrorCode::None && option == "--draw-order") {
            EXPECT_EQ(Read(map).Header.DrawOrder, *platform::ParseInt16(value));
        }
    }
    EXPECT_EQ(Read(map).MapInfo.GroupName, group);
    const fixture::ProgramRun checked = Run({"check", map});
    EXPECT_NE(checked.out.find("draw_order_range"), std::string::npos) << checked.out;
}

// scan and info read the zoom rows of --settings.
TEST_F(CliTest, CommandsReadTheChosenSettings) {
    const std::string file = Make("z.jnx", fixture::SimpleRecipe(4, 1, 1)), ini = scratch.file("one-row.ini");
    const std::string text = "[ZoomLevels]\nLevel1=1/100000000/Everywhere\n";
    fixture::WriteBytes(ini, fixture::Bytes(text.begin(), text.end()));
    for (const Strings& args : std::vector<Strings>{{"scan", dir.path()}, {"info", file}})
        for (const std::string& settings : {std::string(), ini}) {
            Strings run = args;
            if (!settings.empty()) run.insert(run.end(), {"--settings", settings});
            const fixture::ProgramRun r = Run(run);
            EXPECT_EQ(r.code, 0) << PrintToString(run) << r.err;
            EXPECT_EQ(Occurrences(r.out, "Everywhere"), settings == ini) << PrintToString(run) << r.out;
        }
    // A block size written wrongly stops a rewrite rather than being replaced by another.
    const std::string block = scratch.file("block.ini"), blockText = "[System]\nBlockSize=64 KB\n";
    fixture::WriteBytes(block, fixture::Bytes(blockText.begin(), blockText.end()));
    const fixture::Bytes before = fixture::ReadBytes(file);
    Expect({"save", file, "--product-id", "5", "--settings", block}, 1, "", "BlockSize must be a positive number");
    EXPECT_EQ(fixture::ReadBytes(file), before);
}

// A --settings path that cannot be read as settings is a usage error naming why; a device
// or pipe is refused before it is opened, so it can neither block nor fill memory.
TEST_F(CliTest, UnusableSettingsPathIsAUsageError) {
    const std::string file = Make("z.jnx", fixture::SimpleRecipe(4, 1, 1));
    const std::string big = scratch.file("big.ini"), binary = scratch.file("binary.ini"), pipe = scratch.file("p.ini");
    fixture::WriteBytes(big, fixture::Bytes((1 << 20) + 1, '\n'));
    fixture::WriteBytes(binary, {'[', 'A', ']', '\n', 'k', '=', 0, '\n'});
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::pair<std::string, const char*> cases[] = {
        {scratch.file("missing.ini"), "does not exist"}, {scratch.path(), "is a folder"},
        {pipe, "is not a regular file"}, {"/dev/zero", "is not a regular file"},
        {big, "is larger than 1 MB"}, {binary, "is not text"},
    };
    for (const auto& [path, why] : cases) {
        const fixture::ProgramRun r = Run({"info", file, "--settings", path});
        EXPECT_EQ(r.code, 2) << path << r.err;
        EXPECT_NE(r.err.find(path + " " + why), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

}  // namespace
