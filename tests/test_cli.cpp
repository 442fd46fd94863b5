// tessaly-cli run as a child process on files built in a temporary folder: the exit status,
// what goes to stdout and to stderr, and what is (and is not) written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "jnx/reader.h"
#include "settings/settings.h"
#include "support/jnx_builder.h"
#include "support/run_program.h"

namespace {

using fixture::Occurrences;
using Strings = std::vector<std::string>;

// Whether text is valid UTF-8: each sequence the shortest form of a scalar value.
bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i++]);
        const int n = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
        if (n == 0 || i + static_cast<std::size_t>(n - 1) > text.size()) return false;
        std::uint32_t code = c & (n == 1 ? 0x7Fu : 0xFFu >> (n + 1));
        for (int k = 1; k < n; ++k, ++i) {
            if ((text[i] & 0xC0) != 0x80) return false;
            code = code << 6 | (text[i] & 0x3F);
        }
        static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    }
    return true;
}

// Whether text is one JSON value (RFC 8259) that a strict parser takes: valid UTF-8, and no
// \u escape of a surrogate (the writer has no reason to write even a paired one).
class StrictJson {
public:
    static bool Valid(const std::string& text) {
        StrictJson json(text);
        return ValidUtf8(text) && !std::regex_search(text, std::regex(R"(\\u[dD][89a-fA-F])")) && json.Value() &&
               json.at_ == text.size();
    }

private:
    explicit StrictJson(const std::string& text) : s_(text) {}
    bool Eat(char c) { return at_ < s_.size() && s_[at_] == c ? (++at_, true) : false; }
    void Space() { at_ = std::min(s_.find_first_not_of(" \t\n\r", at_), s_.size()); }
    bool Scalar(bool stringOnly) {
        static const std::regex kScalar(R"("([^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*"|true|false|null|)"
                                        R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
        std::smatch m;
        if (!std::regex_search(s_.cbegin() + static_cast<long>(at_), s_.cend(), m, kScalar,
                               std::regex_constants::match_continuous) ||
            (stringOnly && s_[at_] != '"')) {
            return false;
        }
        at_ += static_cast<std::size_t>(m.length(0));
        return true;
    }
    bool Value() {
        Space();
        bool ok = Scalar(false);
        if (!ok && (Eat('{') || Eat('['))) {
            const char close = s_[at_ - 1] == '{' ? '}' : ']';
            Space();
            ok = Eat(close);
            for (bool more = !ok; more; more = Eat(',')) {
                if (close == '}' && !(Space(), Scalar(true) && (Space(), Eat(':')))) return false;
                if (!Value()) return false;
            }
            ok = ok || Eat(close);
        }
        Space();
        return ok;
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

std::string Shown(const Strings& args) {
    std::string text;
    for (const auto& arg : args) text += arg + " ";
    return text;
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

    static jnx::JnxDocument Read(const std::string& path) {
        jnx::JnxDocument doc;
        std::int32_t tiles = 0;
        std::string error;
        EXPECT_TRUE(jnx::ReadJnx(doc, path, tiles, error, true)) << path << ": " << error;
        return doc;
    }
};

// Help and the version go to stdout with 0; a usage error goes to stderr with 2 and touches nothing.
TEST_F(CliTest, HelpVersionAndUsageErrors) {
    const std::string file = Make("u.jnx", fixture::SimpleRecipe(4, 2, 2));
    const fixture::Bytes before = fixture::ReadBytes(file);
    const std::vector<std::pair<Strings, int>> cases = {
        {{"--help"}, 0}, {{"-h"}, 0}, {{"--version"}, 0}, {{"info", "--help"}, 0}, {{"save", "-h"}, 0},
        {{"split", "--help"}, 0}, {{"scan", "-h"}, 0}, {{"merge", "-h"}, 0}, {{"demo", "--help"}, 0},
        {{}, 2}, {{"frobnicate", file}, 2}, {{"info"}, 2}, {{"info", file, "--quick=yes"}, 2},
        {{"info", file, "--settings"}, 2}, {{"save"}, 2}, {{"save", file, "--bogus"}, 2},
        {{"save", file, "--product-id", "70000"}, 2}, {{"save", file, "--product-id", "12a"}, 2},
        {{"save", file, "--draw-order", "-40000"}, 2}, {{"save", file, "--to-version", "5"}, 2},
        {{"save", file, "--level", "6=1"}, 2}, {{"save", file, "--level", "1=no such row"}, 2},
        {{"save", file, "--priority", "2"}, 2},  // no --level 2 to lower
        {{"save", file, "--zoom", "1=x"}, 2}, {{"save", file, file, "--rename", "x.jnx"}, 2},
        {{"save", file, "--rename", " "}, 2}, {{"save", file, "--replace", "--zoom", "1=3"}, 2},
        {{"split", file}, 2}, {{"split", file, "zero"}, 2}, {{"scan"}, 2}, {{"scan", dir.path(), dir.path()}, 2},
        {{"merge"}, 2}, {{"merge", file, file, "--to-version", "5"}, 2}, {{"merge", file, file, "--out", ""}, 2},
        {{"merge", file, file, "--product-id", "x"}, 2}, {{"demo"}, 2}, {{"demo", file, file}, 2},
    };
    for (const auto& [args, code] : cases) {
        const fixture::ProgramRun r = Run(args);
        EXPECT_EQ(r.code, code) << Shown(args) << r.err;
        EXPECT_EQ(r.out.empty(), code != 0) << Shown(args) << r.out;
        EXPECT_EQ(r.err.empty(), code == 0) << Shown(args) << r.err;
    }
    EXPECT_EQ(Run({"--version"}).out, "tessaly-cli " TESSALY_VERSION "\n");
    EXPECT_EQ(fixture::ReadBytes(file), before);
    EXPECT_EQ(dir.list(), Strings{"u.jnx"});
}

TEST_F(CliTest, InfoJsonReportsEveryFileAndFailsForTheMalformedOne) {
    fixture::JnxRecipe v4 = fixture::SimpleRecipe(4, 2, 3);
    v4.bounds = {536870912, 268435456, -536870912, -268435456};  // 45, 22.5, -45, -22.5 degrees
    const std::string good4 = Make("a.jnx", v4), good3 = Make("b.jnx", fixture::SimpleRecipe(3, 1, 2));
    fixture::Bytes truncated = fixture::BuildJnx(fixture::SimpleRecipe(4, 1, 1)).bytes;
    truncated.resize(30);
    fixture::WriteBytes(dir.file("bad.jnx"), truncated);

    const fixture::ProgramRun r = Run({"info", "--json", good4, dir.file("bad.jnx"), good3});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Occurrences(r.err, "bad.jnx: "), 1) << r.err;
    EXPECT_EQ(fixture::ReadBytes(dir.file("bad.jnx")), truncated);
    EXPECT_TRUE(StrictJson::Valid(r.out)) << r.out;
    for (const char* key : {"version", "product_id", "group_name", "map_title", "draw_order", "tile_total",
                            "needs_regeneration", "bounds", "levels"}) {
        EXPECT_EQ(Occurrences(r.out, "\"" + std::string(key) + "\": "), 2) << key;
    }
    for (const char* key : {"scale", "tiles", "zoom_name", "priority", "zoom", "copyright", "file"}) {
        EXPECT_EQ(Occurrences(r.out, "\"" + std::string(key) + "\": "), 3) << key;
    }
    for (const char* value : {"\"ok\": false", "\"error\": ", "\"north\": 45,", "\"west\": -22.5",
                              "\"draw_order\": 25", "\"tile_total\": 6"}) {
        EXPECT_EQ(Occurrences(r.out, value), 1) << value << "\n" << r.out;
    }
}

// File names are bytes: the JSON stays valid UTF-8 whatever they hold, and keeps them
// whole in the escape json.h documents.
TEST_F(CliTest, JsonIsValidUtf8AndKeepsEveryFileName) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 1);
    recipe.groupName = "Quote \" back \\ tab \t caf\xe9";
    const std::string file = Make("caf\xe9 100%.jnx", recipe);
    for (const Strings& args : std::vector<Strings>{{"info", "--json", file}, {"scan", "--json", dir.path()}}) {
        const fixture::ProgramRun r = Run(args);
        EXPECT_EQ(r.code, 0) << Shown(args) << r.err;
        EXPECT_TRUE(StrictJson::Valid(r.out)) << Shown(args) << r.out;
        EXPECT_NE(r.out.find("\"" + dir.path() + "/caf%E9 100%25.jnx\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\"Quote \\\" back \\\\ tab \\t caf"), std::string::npos) << r.out;
    }
}

TEST_F(CliTest, DemoWritesAReadableFile) {
    const fixture::ProgramRun r = Run({"demo", dir.file("demo.jnx")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "created " + dir.file("demo.jnx") + "\n");
    EXPECT_EQ(Read(dir.file("demo.jnx")).Levels.size(), 2u);
    EXPECT_EQ(dir.list(), Strings{"demo.jnx"});
}

TEST_F(CliTest, SaveUpdatesInPlaceWhenTheVersionStays) {
    const std::string file = Make("p.jnx", fixture::SimpleRecipe(4, 2, 2));
    settings::SettingsTables tables;
    ASSERT_TRUE(settings::CargarCombos(settings::Settings(TESSALY_INI_PATH), tables));
    ASSERT_GE(tables.ZoomTable.size(), 3u);

    const fixture::ProgramRun r = Run({"save", file, "--product-id", "1234", "--draw-order", "17", "--level",
                                       "2=" + tables.ZoomTable[2].Name, "--priority", "2", "--level", "1=1", "--zoom",
                                       "2=7"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "updated " + file + "\n");
    EXPECT_EQ(dir.list(), Strings{"p.jnx"});
    const jnx::JnxDocument doc = Read(file);
    EXPECT_EQ(doc.Header.ProductId, 1234);
    EXPECT_EQ(doc.Header.DrawOrder, 17);
    EXPECT_EQ(doc.Levels[0].Scale, tables.ZoomTable[0].StandardScale);
    EXPECT_EQ(doc.Levels[1].Scale, tables.ZoomTable[2].StandardScale - 1);
    EXPECT_EQ(doc.LevelInfos[1].Zoom, 7);
    EXPECT_EQ(doc.LevelInfos[0].Zoom, fixture::SimpleRecipe(4, 2, 2).levels[0].zoom);
}

// A file of a new version is written anew beside its source, over a stale output, or with
// --replace in its place; --rename applies only to a file patched in place.
TEST_F(CliTest, SaveWritesANewVersionBesideOrInPlaceOfTheSource) {
    const std::string v3 = Make("r.jnx", fixture::SimpleRecipe(3, 2, 2)), out = dir.file("r_new.jnx");
    const std::string v4 = Make("b.jnx", fixture::SimpleRecipe(4, 1, 2));
    const fixture::Bytes before = fixture::ReadBytes(v3);
    fixture::WriteBytes(out, {1, 2, 3});
    const fixture::ProgramRun r = Run({"save", v3, "--to-version", "4", "--group", "Group B", "--rename", "x.jnx"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "created " + out + "\n");
    EXPECT_EQ(fixture::ReadBytes(v3), before);
    EXPECT_EQ(Read(out).Header.Version, 4);
    EXPECT_EQ(Read(out).Header.DrawOrder, 25);

    // b.jnx keeps its version, so it is patched and --replace changes nothing for it.
    const fixture::ProgramRun replaced = Run({"save", v3, v4, "--to-version", "4", "--replace", "--product-id", "44"});
    EXPECT_EQ(replaced.code, 0) << replaced.err;
    EXPECT_EQ(replaced.out, "replaced " + v3 + "\nupdated " + v4 + "\n");
    EXPECT_EQ(Read(v3).Header.Version, 4);
    EXPECT_EQ(Read(v3).Header.ProductId, 44);
    EXPECT_EQ(Read(v4).Header.ProductId, 44);

    const fixture::ProgramRun renamed = Run({"save", v4, "--rename", "Renamed.JNX", "--product-id", "5"});
    EXPECT_EQ(renamed.code, 0) << renamed.err;
    EXPECT_EQ(renamed.out, "updated " + dir.file("Renamed.JNX") + "\n");
    EXPECT_EQ(Read(dir.file("Renamed.JNX")).Header.ProductId, 5);
    EXPECT_EQ(dir.list(), (Strings{"Renamed.JNX", "r.jnx", "r_new.jnx"}));  // no temporary left
}

// Whether a file fails alone or the whole run is refused: stderr says why in one line,
// stdout stays empty, the status is 1 and nothing is touched.
TEST_F(CliTest, FailedSavesReportOnStderrAndTouchNothing) {
    const std::string file = Make("f.jnx", fixture::SimpleRecipe(4, 2, 2)), bad = dir.file("h.jnx");
    const std::string other = Make("g.jnx", fixture::SimpleRecipe(4, 1, 1));
    fixture::WriteBytes(bad, {1, 2, 3});
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    const fixture::Bytes fileBefore = fixture::ReadBytes(file), otherBefore = fixture::ReadBytes(other);
    const std::vector<std::pair<Strings, std::string>> cases = {
        {{"save", bad, "--product-id", "3"}, bad + ": "},
        {{"save", file, "--level", "4=1"}, file + ": level 4 named"},
        {{"save", file, "--rename", "g.jnx", "--product-id", "3"}, "exists already"},
        {{"save", file, "--rename", "sub/f.jnx", "--product-id", "3"}, "folder separator"},
        {{"save", file, "--rename", "f.txt", "--product-id", "3"}, "All selected files need valid filename."},
        // The editor-like save would patch g.jnx; the batch save refuses the whole run.
        {{"save", other, bad, "--replace", "--product-id", "3"}, "All erroneous files must be unchecked."},
    };
    for (const auto& [args, why] : cases) {
        const fixture::ProgramRun r = Run(args);
        EXPECT_EQ(r.code, 1) << Shown(args) << r.err;
        EXPECT_TRUE(r.out.empty()) << Shown(args) << r.out;
        EXPECT_NE(r.err.find(why), std::string::npos) << Shown(args) << r.err;
        EXPECT_EQ(Occurrences(r.err, "\n"), 1) << Shown(args) << r.err;
    }
    EXPECT_EQ(fixture::ReadBytes(file), fileBefore);
    EXPECT_EQ(fixture::ReadBytes(other), otherBefore);
    EXPECT_EQ(dir.list(), (Strings{"f.jnx", "g.jnx", "h.jnx", "sub"}));

    // Without the batch rules the run goes on after a failed file.
    const fixture::ProgramRun r = Run({"save", bad, other, "--product-id", "9"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "updated " + other + "\n");
    EXPECT_EQ(r.err.rfind(bad + ": ", 0), 0u) << r.err;
    EXPECT_EQ(Read(other).Header.ProductId, 9);
}

// A refusal (a level the file lacks, a file of one level, one file to merge) writes nothing.
TEST_F(CliTest, SplitAndMergeWriteTheirFilesOrRefuseBeforeWriting) {
    const std::string file = Make("s.jnx", fixture::SimpleRecipe(4, 3, 2));
    const std::string one = Make("o.jnx", fixture::SimpleRecipe(4, 1, 1));
    for (const Strings& args : std::vector<Strings>{{"split", file, "1", "4"}, {"split", one, "1"}, {"merge", one}}) {
        const fixture::ProgramRun refused = Run(args);
        EXPECT_EQ(refused.code, 1) << Shown(args);
        EXPECT_TRUE(refused.out.empty()) << refused.out;
        EXPECT_FALSE(refused.err.empty()) << Shown(args);
    }
    EXPECT_EQ(dir.list(), (Strings{"o.jnx", "s.jnx"}));

    const fixture::ProgramRun split = Run({"split", file, "3", "1"});
    EXPECT_EQ(split.code, 0) << split.err;
    EXPECT_EQ(split.out, dir.file("s_Level1.jnx") + "\n" + dir.file("s_Level3.jnx") + "\n");
    const jnx::JnxDocument third = Read(dir.file("s_Level3.jnx"));
    ASSERT_EQ(third.Levels.size(), 1u);
    EXPECT_EQ(third.Levels[0].TileCount, Read(file).Levels[2].TileCount);
    EXPECT_EQ(third.Levels[0].Scale, Read(file).Levels[2].Scale);

    const fixture::ProgramRun merge = Run({"merge", file, one, "--out", dir.file("out"), "--product-id", "77"});
    EXPECT_EQ(merge.code, 0) << merge.err;
    ASSERT_EQ(merge.out.rfind(dir.file("out/"), 0), 0u) << merge.out;
    const jnx::JnxDocument merged = Read(merge.out.substr(0, merge.out.size() - 1));
    EXPECT_EQ(merged.Levels.size(), 4u);
    EXPECT_EQ(merged.Header.ProductId, 77);
}

// scan and info read the zoom rows of --settings; a settings file that cannot be read fails.
TEST_F(CliTest, CommandsReadTheChosenSettings) {
    const std::string file = Make("z.jnx", fixture::SimpleRecipe(4, 1, 1)), ini = scratch.file("one-row.ini");
    const std::string text = "[ZoomLevels]\nLevel1=1/100000000/Everywhere\n";
    fixture::WriteBytes(ini, fixture::Bytes(text.begin(), text.end()));
    for (const Strings& args : std::vector<Strings>{{"scan", dir.path()}, {"info", file}}) {
        for (const std::string& settings : {std::string(), ini, scratch.file("missing.ini")}) {
            Strings run = args;
            if (!settings.empty()) run.insert(run.end(), {"--settings", settings});
            const fixture::ProgramRun r = Run(run);
            EXPECT_EQ(r.code, settings == scratch.file("missing.ini") ? 1 : 0) << Shown(run) << r.err;
            EXPECT_EQ(Occurrences(r.out, "Everywhere"), settings == ini) << Shown(run) << r.out;
            EXPECT_EQ(Occurrences(r.err, "missing.ini"), r.code) << Shown(run) << r.err;
        }
    }
}

}  // namespace
