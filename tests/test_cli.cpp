// tessaly-cli run as a subprocess on files built in a temp folder: exit codes, output,
// and what is (and is not) written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jnx/reader.h"
#include "settings/settings.h"
#include "support/jnx_builder.h"

namespace {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliTest : public ::testing::Test {
protected:
    fixture::TempDir dir;

    RunResult Run(const std::vector<std::string>& args, bool withSettings = true) {
        std::string command = Quote(TESSALY_CLI_PATH);
        for (const auto& arg : args) command += " " + Quote(arg);
        // Options may come after the files; the settings file of the source tree keeps
        // the test independent of the user's own copy.
        if (withSettings) command += " --settings " + Quote(TESSALY_INI_PATH);
        const std::string outPath = dir.path() + "/.out", errPath = dir.path() + "/.err";
        command += " >" + Quote(outPath) + " 2>" + Quote(errPath);
        const int status = std::system(command.c_str());
        RunResult result;
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = Slurp(outPath);
        result.err = Slurp(errPath);
        std::remove(outPath.c_str());
        std::remove(errPath.c_str());
        return result;
    }

    std::string Make(const std::string& name, const fixture::JnxRecipe& recipe) {
        const std::string path = dir.file(name);
        fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
        return path;
    }

    static jnx::JnxDocument Read(const std::string& path) {
        jnx::JnxDocument doc;
        std::int32_t tiles = 0;
        std::string error;
        EXPECT_TRUE(jnx::ReadJnx(doc, path, tiles, error, true)) << path << ": " << error;
        return doc;
    }
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(CliTest, InfoJsonReportsEveryFileAndFailsForTheMalformedOne) {
    fixture::JnxRecipe v4 = fixture::SimpleRecipe(4, 2, 3);
    v4.bounds = {536870912, 268435456, -536870912, -268435456};  // 45, 22.5, -45, -22.5 degrees
    const std::string good4 = Make("a.jnx", v4);
    const std::string good3 = Make("b.jnx", fixture::SimpleRecipe(3, 1, 2));
    fixture::Bytes truncated = fixture::BuildJnx(fixture::SimpleRecipe(4, 1, 1)).bytes;
    truncated.resize(30);
    const std::string bad = dir.file("bad.jnx");
    fixture::WriteBytes(bad, truncated);
    const fixture::Bytes badBefore = fixture::ReadBytes(bad);

    const RunResult r = Run({"info", "--json", good4, bad, good3});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.jnx"), std::string::npos) << r.err;
    EXPECT_EQ(fixture::ReadBytes(bad), badBefore);

    for (const char* key : {"\"version\": ", "\"product_id\": ", "\"group_name\": ", "\"map_title\": ",
                            "\"draw_order\": ", "\"tile_total\": ", "\"needs_regeneration\": ", "\"bounds\": ",
                            "\"levels\": "}) {
        EXPECT_EQ(Count(r.out, key), 2) << key << "\n" << r.out;
    }
    for (const char* key : {"\"scale\": ", "\"tiles\": ", "\"zoom_name\": ", "\"priority\": ", "\"zoom\": ",
                            "\"copyright\": "}) {
        EXPECT_EQ(Count(r.out, key), 3) << key;
    }
    EXPECT_EQ(Count(r.out, "\"file\": "), 3);
    EXPECT_EQ(Count(r.out, "\"error\": "), 1);
    EXPECT_EQ(Count(r.out, "\"ok\": false"), 1);
    EXPECT_NE(r.out.find("\"north\": 45,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"west\": -22.5"), std::string::npos);
    EXPECT_NE(r.out.find("\"draw_order\": 25"), std::string::npos);  // the version 3 file
    EXPECT_NE(r.out.find("\"tile_total\": 6"), std::string::npos);
    EXPECT_EQ(r.out.front(), '[');
}

TEST_F(CliTest, InfoOfGoodFilesSucceedsInTextAndQuickModes) {
    const std::string file = Make("m.jnx", fixture::SimpleRecipe(4, 2, 2));
    for (const bool quick : {false, true}) {
        std::vector<std::string> args = {"info", file};
        if (quick) args.push_back("--quick");
        const RunResult r = Run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("m.jnx"), std::string::npos);
        EXPECT_NE(r.out.find("level 2"), std::string::npos) << r.out;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
}

// File names are bytes; the JSON must stay valid UTF-8 whatever they hold, and keep them.
TEST_F(CliTest, JsonEscapesNamesAndTextsThatAreNotUtf8) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 1);
    recipe.mapTitle = "Quote \" back \\ tab \t";
    const std::string file = Make("caf\xe9 100%.jnx", recipe);
    const RunResult r = Run({"info", "--json", file});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("caf%E9 100%25.jnx"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Quote \\\" back \\\\ tab \\t\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\xe9'), std::string::npos);
}

TEST_F(CliTest, UsageErrorsExitTwoAndTouchNothing) {
    const std::string file = Make("u.jnx", fixture::SimpleRecipe(4, 2, 2));
    const fixture::Bytes before = fixture::ReadBytes(file);
    const std::vector<std::vector<std::string>> cases = {
        {"save", file, "--product-id", "70000"},
        {"save", file, "--product-id", "12a"},
        {"save", file, "--draw-order", "-40000"},
        {"save", file, "--to-version", "5"},
        {"save", file, "--level", "6=1"},
        {"save", file, "--level", "1=no such row"},
        {"save", file, "--priority", "2"},  // no --level 2 to lower
        {"save", file, "--zoom", "1=x"},
        {"save", file, "--bogus"},
        {"save"},
        {"info"},
        {"save", file, file, "--rename", "x.jnx"},  // a new name fits one file only
        {"save", file, "--rename", " "},
        {"save", file, "--replace", "--zoom", "1=3"},
        {"split", file},
        {"split", file, "zero"},
        {"frobnicate", file},
    };
    for (const auto& args : cases) {
        const RunResult r = Run(args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(r.code, 2) << shown << r.err;
        EXPECT_FALSE(r.err.empty()) << shown;
    }
    EXPECT_EQ(fixture::ReadBytes(file), before);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"u.jnx"});
}

TEST_F(CliTest, HelpAndVersion) {
    const RunResult help = Run({"--help"}, false);
    EXPECT_EQ(help.code, 0);
    for (const char* command : {"info", "save", "split", "scan", "merge"}) {
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    }
    EXPECT_EQ(Run({"--version"}, false).code, 0);
    EXPECT_EQ(Run({}, false).code, 2);
    EXPECT_EQ(Run({"save", "--help"}).code, 0);
}

TEST_F(CliTest, SaveUpdatesInPlaceWhenTheVersionStays) {
    const std::string file = Make("p.jnx", fixture::SimpleRecipe(4, 2, 2));
    settings::SettingsTables tables;
    ASSERT_TRUE(settings::CargarCombos(settings::Settings(TESSALY_INI_PATH), tables));
    ASSERT_GE(tables.ZoomTable.size(), 3u);

    const RunResult r = Run({"save", file, "--product-id", "1234", "--draw-order", "17", "--level",
                             "2=" + tables.ZoomTable[2].Name, "--priority", "2", "--level", "1=1", "--zoom", "2=7"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "updated " + file + "\n");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"p.jnx"});
    const jnx::JnxDocument doc = Read(file);
    EXPECT_EQ(doc.Header.ProductId, 1234);
    EXPECT_EQ(doc.Header.DrawOrder, 17);
    EXPECT_EQ(doc.Levels[0].Scale, tables.ZoomTable[0].StandardScale);
    EXPECT_EQ(doc.Levels[1].Scale, tables.ZoomTable[2].StandardScale - 1);
    EXPECT_EQ(doc.LevelInfos[1].Zoom, 7);
    EXPECT_EQ(doc.LevelInfos[0].Zoom, fixture::SimpleRecipe(4, 2, 2).levels[0].zoom);
}

TEST_F(CliTest, SaveRegeneratesBesideTheFileOnAVersionChange) {
    const std::string file = Make("r.jnx", fixture::SimpleRecipe(3, 2, 2));
    const fixture::Bytes before = fixture::ReadBytes(file);
    const std::string out = dir.file("r_new.jnx");
    fixture::WriteBytes(out, {1, 2, 3});  // a stale output is replaced

    const RunResult r = Run({"save", file, "--to-version", "4", "--group", "Group B"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "created " + out + "\n");
    EXPECT_EQ(fixture::ReadBytes(file), before);
    const jnx::JnxDocument doc = Read(out);
    EXPECT_EQ(doc.Header.Version, 4);
    EXPECT_EQ(doc.Header.DrawOrder, 25);
}

TEST_F(CliTest, SaveGoesOnAfterAFailedFileAndExitsOne) {
    const std::string bad = dir.file("0bad.jnx");
    fixture::WriteBytes(bad, {});
    const std::string good = Make("1good.jnx", fixture::SimpleRecipe(4, 1, 2));
    const RunResult r = Run({"save", bad, good, "--product-id", "9"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("updated " + good), std::string::npos) << r.out;
    EXPECT_EQ(Read(good).Header.ProductId, 9);
    EXPECT_TRUE(fixture::ReadBytes(bad).empty());
}

TEST_F(CliTest, SaveRefusesALevelTheFileDoesNotHave) {
    const std::string file = Make("l.jnx", fixture::SimpleRecipe(4, 2, 1));
    const fixture::Bytes before = fixture::ReadBytes(file);
    const RunResult r = Run({"save", file, "--level", "4=1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(fixture::ReadBytes(file), before);
}

// The tile images of a file, in table order.
std::vector<fixture::Bytes> TileImages(const std::string& path) {
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, tiles, error, true)) << path << ": " << error;
    const fixture::Bytes bytes = fixture::ReadBytes(path);
    std::vector<fixture::Bytes> images;
    for (const auto& tile : doc.Tiles) {
        images.emplace_back(bytes.begin() + tile.DataOffset, bytes.begin() + tile.DataOffset + tile.DataSize);
    }
    return images;
}

TEST_F(CliTest, SaveReplaceLeavesOneFileUnderTheSourceName) {
    const std::string v3 = Make("a.jnx", fixture::SimpleRecipe(3, 2, 3));
    const std::string v4 = Make("b.jnx", fixture::SimpleRecipe(4, 1, 2));
    const std::vector<fixture::Bytes> images = TileImages(v3);
    ASSERT_EQ(images.size(), 6u);

    // b.jnx keeps its version, so it is patched and --replace changes nothing for it.
    const RunResult r = Run({"save", v3, v4, "--to-version", "4", "--replace", "--product-id", "44"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "replaced " + v3 + "\nupdated " + v4 + "\n");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.jnx", "b.jnx"}));  // no a_new.jnx, no temporary
    const jnx::JnxDocument doc = Read(v3);
    EXPECT_EQ(doc.Header.Version, 4);
    EXPECT_EQ(doc.Header.DrawOrder, 25);
    EXPECT_EQ(doc.Header.ProductId, 44);
    EXPECT_EQ(TileImages(v3), images);
    EXPECT_EQ(Read(v4).Header.ProductId, 44);
}

TEST_F(CliTest, SaveRenameRenamesAFilePatchedInPlace) {
    const std::string file = Make("p.jnx", fixture::SimpleRecipe(4, 2, 2));
    const RunResult r = Run({"save", file, "--rename", "Renamed.JNX", "--product-id", "5"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "updated " + dir.file("Renamed.JNX") + "\n");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"Renamed.JNX"});
    EXPECT_EQ(Read(dir.file("Renamed.JNX")).Header.ProductId, 5);
}

TEST_F(CliTest, SaveRenameIsIgnoredWhenTheFileIsWrittenAnew) {
    const std::string file = Make("r.jnx", fixture::SimpleRecipe(3, 1, 2));
    const fixture::Bytes before = fixture::ReadBytes(file);
    const RunResult r = Run({"save", file, "--to-version", "4", "--rename", "other.jnx"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "created " + dir.file("r_new.jnx") + "\n");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"r.jnx", "r_new.jnx"}));
    EXPECT_EQ(fixture::ReadBytes(file), before);
}

TEST_F(CliTest, SaveAsBatchFailuresTouchNothing) {
    const std::string file = Make("f.jnx", fixture::SimpleRecipe(4, 2, 2));
    const std::string other = Make("g.jnx", fixture::SimpleRecipe(4, 1, 1));
    const std::string bad = dir.file("h.jnx");
    fixture::WriteBytes(bad, {1, 2, 3});
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    const fixture::Bytes fileBefore = fixture::ReadBytes(file), otherBefore = fixture::ReadBytes(other);

    struct Case {
        std::vector<std::string> args;
        std::string out;  // what the row's line says, or "" for a refusal of the run
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"save", file, "--rename", "g.jnx", "--product-id", "3"}, "exists already", ""},
        {{"save", file, "--rename", "sub/f.jnx", "--product-id", "3"}, "folder separator", ""},
        {{"save", file, "--rename", "f.txt", "--product-id", "3"}, "", "All selected files need valid filename."},
        // The editor-like save would patch g.jnx; the batch save refuses the whole run.
        {{"save", other, bad, "--replace", "--product-id", "3"}, "", "All erroneous files must be unchecked."},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.args);
        const std::string shown = c.args[2] + " " + c.args[3];
        EXPECT_EQ(r.code, 1) << shown << "\n" << r.out << r.err;
        if (c.out.empty()) {
            EXPECT_TRUE(r.out.empty()) << shown << ": " << r.out;
            EXPECT_NE(r.err.find(c.err), std::string::npos) << shown << ": " << r.err;
        } else {
            EXPECT_EQ(r.out.rfind(file + ": ", 0), 0u) << shown << ": " << r.out;
            EXPECT_NE(r.out.find(c.out), std::string::npos) << shown << ": " << r.out;
            EXPECT_EQ(Count(r.out, "\n"), 1) << shown << ": " << r.out;
        }
    }
    EXPECT_EQ(fixture::ReadBytes(file), fileBefore);
    EXPECT_EQ(fixture::ReadBytes(other), otherBefore);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"f.jnx", "g.jnx", "h.jnx", "sub"}));
}

TEST_F(CliTest, SplitWritesEachNamedLevel) {
    const std::string file = Make("s.jnx", fixture::SimpleRecipe(4, 3, 2));
    const RunResult r = Run({"split", file, "3", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, dir.file("s_Level1.jnx") + "\n" + dir.file("s_Level3.jnx") + "\n");
    const jnx::JnxDocument source = Read(file);
    const jnx::JnxDocument third = Read(dir.file("s_Level3.jnx"));
    ASSERT_EQ(third.Levels.size(), 1u);
    EXPECT_EQ(third.Levels[0].TileCount, source.Levels[2].TileCount);
    EXPECT_EQ(third.Levels[0].Scale, source.Levels[2].Scale);
}

TEST_F(CliTest, SplitRefusalsWriteNothing) {
    const std::string three = Make("t.jnx", fixture::SimpleRecipe(4, 3, 1));
    const std::string one = Make("o.jnx", fixture::SimpleRecipe(4, 1, 1));
    EXPECT_EQ(Run({"split", three, "1", "4"}).code, 1);
    EXPECT_EQ(Run({"split", one, "1"}).code, 1);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"o.jnx", "t.jnx"}));
}

TEST_F(CliTest, DemoFileIsReadable) {
    const std::string file = dir.file("demo.jnx");
    const RunResult made = Run({"demo", file}, false);
    EXPECT_EQ(made.code, 0) << made.err;
    const RunResult info = Run({"info", "--json", file});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"needs_regeneration\": false"), std::string::npos) << info.out;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"demo.jnx"});
}

}  // namespace
