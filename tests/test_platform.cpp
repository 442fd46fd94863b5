#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "support/jnx_builder.h"

namespace {

using fixture::TempDir;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// ---- UTF-8 and Windows-1252 ----

TEST(Utf8, AcceptsShortestFormsUpToTheLastScalar) {
    EXPECT_TRUE(platform::IsValidUtf8(""));
    EXPECT_TRUE(platform::IsValidUtf8("plain"));
    EXPECT_TRUE(platform::IsValidUtf8("\xC2\x80\xDF\xBF"));
    EXPECT_TRUE(platform::IsValidUtf8("\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"));
    EXPECT_TRUE(platform::IsValidUtf8("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(platform::IsValidUtf8(std::string("a\0b", 3)));
}

TEST(Utf8, RejectsOverlongsSurrogatesAndBeyondTheRange) {
    for (const char* bad : {
             "\xC0\x80", "\xC1\xBF",          // overlong two-byte
             "\xE0\x9F\xBF",                  // overlong three-byte
             "\xF0\x8F\xBF\xBF",              // overlong four-byte
             "\xED\xA0\x80", "\xED\xBF\xBF",  // surrogates
             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",  // beyond U+10FFFF
             "\x80", "\xC3", "\xE2\x82", "\xC3\x28",          // stray or cut
         }) {
        EXPECT_FALSE(platform::IsValidUtf8(bad)) << testing::PrintToString(std::string(bad));
        const std::string clean = platform::SanitizeUtf8(std::string("<") + bad + ">");
        EXPECT_TRUE(platform::IsValidUtf8(clean));
        EXPECT_EQ(clean.front(), '<');
        EXPECT_EQ(clean.back(), '>');
        EXPECT_NE(clean.find("\xEF\xBF\xBD"), std::string::npos);
    }
}

TEST(Utf8, SanitizedRandomBytesAreAlwaysValid) {
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<std::size_t>(round % 13), '\0');
        for (char& c : bytes) c = static_cast<char>(byte(generator) | (round % 2 ? 0x80 : 0));
        const std::string clean = platform::SanitizeUtf8(bytes);
        ASSERT_TRUE(platform::IsValidUtf8(clean)) << testing::PrintToString(bytes);
        if (platform::IsValidUtf8(bytes)) {
            EXPECT_EQ(clean, bytes);
        }
        EXPECT_TRUE(platform::IsValidUtf8(platform::Windows1252ToUtf8(bytes)));
    }
}

TEST(Windows1252, HighControlBlockUsesTheCodePageNotLatin1) {
    EXPECT_EQ(platform::Windows1252ToUtf8("\x80\x8A\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xA0\xC5\xB8\xC2\xA0\xC3\xBF");
    std::string fiveReplacements;
    for (int i = 0; i < 5; ++i) fiveReplacements += "\xEF\xBF\xBD";
    EXPECT_EQ(platform::Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), fiveReplacements);  // undefined bytes
    EXPECT_EQ(platform::Utf8ToWindows1252("\xE2\x80\x9Cok\xE2\x80\x9D \xC3\xA9"), "\x93ok\x94 \xE9");
    EXPECT_EQ(platform::Utf8ToWindows1252("\xF0\x9F\x98\x80\xC3"), "??");
}

// ---- INI ----

const std::string kIni =
    "; settings\r\n"
    "[Preferences]\r\n"
    "Lang = ESP \r\n"
    "# UserLevel=2\r\n"
    "UserLevel=1\r\n"
    "\r\n"
    "[System]\r\n"
    "BlockSize=1000\r\n";

TEST(IniRead, NamesMatchWithoutCaseAndValuesAreTrimmed) {
    EXPECT_EQ(platform::IniReadFromText(kIni, "preferences", "LANG"), "ESP");
    EXPECT_EQ(platform::IniReadFromText(kIni, "SYSTEM", "blocksize"), "1000");
    EXPECT_EQ(platform::IniReadFromText(kIni, "Preferences", "UserLevel"), "1");  // not the comment
    EXPECT_EQ(platform::IniReadFromText(kIni, "Preferences", "BlockSize"), "");   // other section
    EXPECT_EQ(platform::IniReadFromText(kIni, "Nowhere", "Lang"), "");
    EXPECT_EQ(platform::IniReadFromText("", "Preferences", "Lang"), "");
    EXPECT_EQ(platform::IniReadFromText("Lang=ENG\n[Preferences]\n", "Preferences", "Lang"), "");
    EXPECT_EQ(platform::IniReadFromText("\xEF\xBB\xBF[A]\nk=v", "a", "K"), "v");
}

TEST(IniRead, ValuesAreCutAt255Characters) {
    const std::string longValue(300, 'x');
    EXPECT_EQ(platform::IniReadFromText("[A]\nk=" + longValue + "\n", "A", "k"), std::string(255, 'x'));
    // Characters, not bytes: a cut never splits a UTF-8 sequence.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xC3\xB1";
    const std::string cut = platform::IniReadFromText("[A]\nk=" + wide + "\n", "A", "k");
    EXPECT_EQ(cut.size(), 2u * 255u);
    EXPECT_TRUE(platform::IsValidUtf8(cut));
}

TEST(IniRead, Windows1252FileIsConverted) {
    TempDir dir;
    WriteText(dir.file("s.ini"), "[Merge]\r\nDir=C:\\Mapas\\Espa\xF1" "a\r\n");
    EXPECT_EQ(platform::IniRead(dir.file("s.ini"), "Merge", "Dir"), "C:\\Mapas\\Espa\xC3\xB1" "a");
    EXPECT_EQ(platform::IniRead(dir.file("absent.ini"), "Merge", "Dir"), "");
}

TEST(IniWrite, ChangesOnlyTheOneValue) {
    const std::string out = platform::IniWriteToText(kIni, "PREFERENCES", "lang", "ENG");
    std::string expected = kIni;
    expected.replace(expected.find(" ESP "), 5, "ENG");
    EXPECT_EQ(out, expected);
}

TEST(IniWrite, AppendsAKeyAtTheEndOfItsSectionWithTheFilesLineEnds) {
    const std::string out = platform::IniWriteToText(kIni, "Preferences", "BatchDefaultDir", "/maps");
    std::string expected = kIni;
    expected.insert(expected.find("UserLevel=1\r\n") + 13, "BatchDefaultDir=/maps\r\n");
    EXPECT_EQ(out, expected);
    EXPECT_EQ(platform::IniReadFromText(out, "Preferences", "BatchDefaultDir"), "/maps");
}

TEST(IniWrite, AppendsAMissingSectionAndCopesWithNoFinalLineEnd) {
    const std::string out = platform::IniWriteToText("[A]\nk=v", "B", "x", "1");
    EXPECT_EQ(out, "[A]\nk=v\n\n[B]\nx=1\n");
    EXPECT_EQ(platform::IniWriteToText("[A]\nk=v", "A", "y", "2"), "[A]\nk=v\ny=2\n");
    EXPECT_EQ(platform::IniWriteToText("", "A", "k", "v"), "[A]\nk=v\n");
}

TEST(IniWrite, ALineBreakInAValueCannotAddLines) {
    const std::string out = platform::IniWriteToText("[A]\nk=v\n", "A", "k", "/x\n[Preferences]\nLang=ESP");
    EXPECT_EQ(out, "[A]\nk=/x\n");
    EXPECT_EQ(platform::IniWriteToText("[A]\n", "A", "a=b", "v"), "[A]\n");
}

TEST(IniWrite, KeepsAWindows1252FileInItsEncodingWhenTheValueFits) {
    const std::string ansi = "[A]\nname=Espa\xF1" "a\n";
    EXPECT_EQ(platform::IniWriteToText(ansi, "A", "dir", "/m\xC3\xA1s"), "[A]\nname=Espa\xF1" "a\ndir=/m\xE1s\n");
    // A value the code page cannot hold turns the file into UTF-8 rather than losing it.
    const std::string out = platform::IniWriteToText(ansi, "A", "dir", "/\xE6\x97\xA5");
    EXPECT_EQ(out, "[A]\nname=Espa\xC3\xB1" "a\ndir=/\xE6\x97\xA5\n");
}

TEST(IniWrite, FileRewriteKeepsOtherBytesAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("Tessaly.ini");
    WriteText(path, kIni);
    ASSERT_TRUE(platform::IniWrite(path, "System", "BlockSize", "4096"));
    std::string expected = kIni;
    expected.replace(expected.find("1000"), 4, "4096");
    EXPECT_EQ(ReadText(path), expected);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"Tessaly.ini"});

    ASSERT_TRUE(platform::IniWrite(dir.file("new.ini"), "A", "k", "v"));
    EXPECT_EQ(ReadText(dir.file("new.ini")), "[A]\nk=v\n");
}

TEST(IniWrite, ThroughASymlinkTheTargetIsRewritten) {
    TempDir dir;
    WriteText(dir.file("real.ini"), "[A]\nk=1\n");
    std::filesystem::create_symlink(dir.file("real.ini"), dir.file("link.ini"));
    ASSERT_TRUE(platform::IniWrite(dir.file("link.ini"), "A", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(ReadText(dir.file("real.ini")), "[A]\nk=2\n");
}

// ---- File system ----

TEST(Paths, PartsOfAPath) {
    EXPECT_EQ(platform::ParentFolder("/maps/MAP.jnx"), "/maps");
    EXPECT_EQ(platform::ParentFolder("/maps/sub/"), "/maps");
    EXPECT_EQ(platform::ParentFolder("/maps"), "/");
    EXPECT_EQ(platform::ParentFolder("/"), "");
    EXPECT_EQ(platform::ParentFolder("MAP.jnx"), "");
    EXPECT_EQ(platform::FileNameOf("/maps/MAP.jnx"), "MAP.jnx");
    EXPECT_EQ(platform::BaseNameOf("/maps/MAP.v2.jnx"), "MAP.v2");
    EXPECT_EQ(platform::ExtensionOf("/maps/MAP.jnx"), "jnx");
    EXPECT_EQ(platform::ExtensionOf("/maps.d/MAP"), "");
    EXPECT_EQ(platform::BaseNameOf("/maps/.hidden"), ".hidden");
    EXPECT_EQ(platform::JoinPath("/maps", "a.jnx"), "/maps/a.jnx");
    EXPECT_EQ(platform::JoinPath("/maps/", "a.jnx"), "/maps/a.jnx");
    EXPECT_EQ(platform::JoinPath("", "a.jnx"), "a.jnx");
    EXPECT_EQ(platform::NormalizeSeparators("C:\\maps\\levels"), "C:/maps/levels");
}

TEST(TemporaryPath, FreshHiddenNamesInTheGivenFolder) {
    TempDir dir;
    const std::string a = platform::TemporaryPathIn(dir.path(), "MAP.jnx");
    EXPECT_EQ(platform::ParentFolder(a), dir.path());
    EXPECT_EQ(platform::FileNameOf(a).rfind(".MAP.jnx-", 0), 0u);
    EXPECT_EQ(platform::ExtensionOf(a), "tmp");
    EXPECT_FALSE(platform::FileExists(a));
    WriteText(a, "x");
    for (int i = 0; i < 20; ++i) EXPECT_NE(platform::TemporaryPathIn(dir.path(), "MAP.jnx"), a);
}

TEST(MoveFileNoReplace, RefusesAnExistingTargetAndKeepsBoth) {
    TempDir dir;
    WriteText(dir.file("a"), "A");
    WriteText(dir.file("b"), "B");
    std::string error;
    EXPECT_FALSE(platform::MoveFileNoReplace(dir.file("a"), dir.file("b"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadText(dir.file("a")), "A");
    EXPECT_EQ(ReadText(dir.file("b")), "B");

    EXPECT_TRUE(platform::MoveFileNoReplace(dir.file("a"), dir.file("c"), error));
    EXPECT_FALSE(platform::FileExists(dir.file("a")));
    EXPECT_EQ(ReadText(dir.file("c")), "A");
}

TEST(MoveAndCopy, ReplaceTheTargetWhole) {
    TempDir dir;
    WriteText(dir.file("a"), "AAAA");
    WriteText(dir.file("b"), "B");
    std::string error;
    ASSERT_TRUE(platform::CopyFile(dir.file("a"), dir.file("b"), error)) << error;
    EXPECT_EQ(ReadText(dir.file("b")), "AAAA");
    ASSERT_TRUE(platform::MoveFile(dir.file("a"), dir.file("b"), error)) << error;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"b"});
    EXPECT_FALSE(platform::CopyFile(dir.file("missing"), dir.file("c"), error));
    EXPECT_EQ(dir.list(), std::vector<std::string>{"b"});
}

TEST(DeleteFile, RemovesReadOnlyFilesButNotFolders) {
    TempDir dir;
    WriteText(dir.file("ro"), "x");
    ::chmod(dir.file("ro").c_str(), 0444);
    EXPECT_TRUE(platform::DeleteFile(dir.file("ro")));
    EXPECT_FALSE(platform::FileExists(dir.file("ro")));
    EXPECT_FALSE(platform::DeleteFile(dir.file("ro")));
    platform::CreateFolderPath(dir.file("sub"));
    EXPECT_FALSE(platform::DeleteFile(dir.file("sub")));
    EXPECT_TRUE(platform::FolderExists(dir.file("sub")));
}

TEST(CreateFolderPath, CreatesMissingParentsAndNeverFails) {
    TempDir dir;
    const std::string deep = dir.file("a/b/c");
    platform::CreateFolderPath(deep);
    EXPECT_TRUE(platform::FolderExists(deep));
    platform::CreateFolderPath(deep);  // already there
    platform::CreateFolderPath("");
    WriteText(dir.file("file"), "x");
    platform::CreateFolderPath(dir.file("file/below"));  // a file in the way
    EXPECT_FALSE(platform::FolderExists(dir.file("file/below")));
    EXPECT_TRUE(platform::FileExists(dir.file("file")));
}

TEST(ListFolder, SortedEntriesWithSymlinksMarked) {
    TempDir dir;
    WriteText(dir.file("b.jnx"), "");
    WriteText(dir.file("A.jnx"), "");
    platform::CreateFolderPath(dir.file("sub"));
    std::filesystem::create_directory_symlink(dir.path(), dir.file("loop"));
    std::vector<platform::FolderEntry> entries;
    std::string error;
    ASSERT_TRUE(platform::ListFolder(dir.path(), entries, error)) << error;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].path, dir.file("A.jnx"));
    EXPECT_EQ(entries[1].path, dir.file("b.jnx"));
    EXPECT_EQ(entries[2].path, dir.file("loop"));
    EXPECT_TRUE(entries[2].isSymlink);
    EXPECT_TRUE(entries[3].isFolder);
    EXPECT_FALSE(entries[3].isSymlink);
    EXPECT_FALSE(entries[0].isFolder);

    EXPECT_FALSE(platform::ListFolder(dir.file("missing"), entries, error));
    EXPECT_FALSE(error.empty());
}

TEST(ProgramFolder, IsTheFolderOfThisTest) {
    const std::string folder = platform::ProgramFolder();
    EXPECT_TRUE(platform::FolderExists(folder));
    EXPECT_TRUE(platform::FileExists(platform::JoinPath(folder, "test_platform")));
}

}  // namespace
