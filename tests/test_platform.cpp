#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>

#include "platform/file_lock.h"
#include "platform/fs.h"
#include "platform/gather_read.h"
#include "platform/ini.h"
#include "platform/new_file.h"
#include "platform/temporary_files.h"
#include "platform/text.h"
#include "support/jnx_builder.h"
#include "support/ordinary_user.h"

namespace {

using fixture::TempDir;

std::string ReadText(const std::string& path) {
    const auto bytes = fixture::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    fixture::WriteBytes(path, fixture::Bytes(text.begin(), text.end()));
}

const std::string kReplacement = "\xEF\xBF\xBD";

// ---- UTF-8 and Windows-1252 ----

TEST(Utf8, ShortestFormsOfScalarsOnly) {
    // The first and last scalar of each length, and around the surrogates.
    EXPECT_TRUE(platform::IsValidUtf8("\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(platform::IsValidUtf8(std::string("a\0b", 3)));
    // Each bad sequence, and how many replacements it becomes between two good characters.
    const std::pair<const char*, int> bad[] = {
        {"\xC0\x80", 2}, {"\xE0\x9F\xBF", 1}, {"\xF0\x8F\xBF\xBF", 1},  // overlong
        {"\xED\xA0\x80", 1}, {"\xED\xBF\xBF", 1},                      // surrogates
        {"\xF4\x90\x80\x80", 1}, {"\xF5\x80\x80\x80", 4},              // beyond U+10FFFF
        {"\x80", 1}, {"\xE2\x82", 1}, {"\xC3\x28", 1},                   // stray or cut
    };
    for (const auto& [bytes, replacements] : bad) {
        EXPECT_FALSE(platform::IsValidUtf8(bytes)) << testing::PrintToString(std::string(bytes));
        std::string expected = "<";
        for (int i = 0; i < replacements; ++i) expected += kReplacement;
        expected += std::string(bytes) == "\xC3\x28" ? "(>" : ">";
        EXPECT_EQ(platform::SanitizeUtf8(std::string("<") + bytes + ">"), expected)
            << testing::PrintToString(std::string(bytes));
    }
}

TEST(Windows1252, HighControlBlockUsesTheCodePageNotLatin1) {
    EXPECT_EQ(platform::Windows1252ToUtf8("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    EXPECT_EQ(platform::Windows1252ToUtf8("\x81\x9D"), kReplacement + kReplacement);  // undefined bytes
    EXPECT_EQ(platform::Utf8ToWindows1252("\xE2\x80\x9Cok\xE2\x80\x9D \xC3\xA9"), "\x93ok\x94 \xE9");
    EXPECT_EQ(platform::Utf8ToWindows1252("\xF0\x9F\x98\x80\xE2\x82"), "??");  // no such byte; a cut sequence
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

TEST(IniRead, FirstMatchWithoutCaseTrimmedCutAndConverted) {
    EXPECT_EQ(platform::IniReadFromText(kIni, "preferences", "LANG"), "ESP");
    EXPECT_EQ(platform::IniReadFromText(kIni, "SYSTEM", "blocksize"), "1000");
    EXPECT_EQ(platform::IniReadFromText(kIni, "Preferences", "UserLevel"), "1");  // not the comment
    EXPECT_EQ(platform::IniReadFromText("Lang=ENG\n[Preferences]\n", "Preferences", "Lang"), "");
    EXPECT_EQ(platform::IniReadFromText("\xEF\xBB\xBF[ A ]\nk=v", "a", "K"), "v");
    EXPECT_EQ(platform::IniReadFromText("[A]\nk=1\nk=2\n[A]\nk=3\n", "A", "k"), "1");
    EXPECT_EQ(platform::IniReadFromText("[A]\nk=" + std::string(300, 'x') + "\n", "A", "k"), std::string(255, 'x'));
    // Characters, not bytes: a cut never splits a UTF-8 sequence.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xC3\xB1";
    EXPECT_EQ(platform::IniReadFromText("[A]\nk=" + wide + "\n", "A", "k"), wide.substr(0, 2 * 255));

    TempDir dir;  // a Windows-1252 file is converted
    WriteText(dir.file("s.ini"), "[Merge]\r\nDir=C:\\Mapas\\Espa\xF1" "a\r\n");
    EXPECT_EQ(platform::IniRead(dir.file("s.ini"), "Merge", "Dir"), "C:\\Mapas\\Espa\xC3\xB1" "a");
    EXPECT_EQ(platform::IniRead(dir.file("absent.ini"), "Merge", "Dir"), "");
}

TEST(IniWrite, OneLineChangesOrIsAdded) {
    std::string changed = kIni;
    changed.replace(changed.find(" ESP "), 5, "ENG");
    std::string appended = kIni;  // at the end of its section, with the file's line ends
    appended.insert(appended.find("UserLevel=1\r\n") + 13, "BatchDefaultDir=/maps\r\n");
    const std::string ansi = "[A]\nname=Espa\xF1" "a\n";
    struct Case {
        std::string before, section, key, value, after;
    };
    const Case cases[] = {
        {kIni, "PREFERENCES", "lang", "ENG", changed},
        {kIni, "Preferences", "BatchDefaultDir", "/maps", appended},
        {"[A]\nk=v", "B", "x", "1", "[A]\nk=v\n\n[B]\nx=1\n"},
        {"[A]\nk=1\n[B]\n[A]\nj=2\n", "a", "n", "3", "[A]\nk=1\nn=3\n[B]\n[A]\nj=2\n"},  // the first section
        // A line break in a value cannot add lines, nor a key name hold a '='.
        {"[A]\nk=v\n", "A", "k", "/x\n[Preferences]\nLang=ESP", "[A]\nk=/x\n"},
        {"[A]\n", "A", "a=b", "v", "[A]\n"},
        // A Windows-1252 file keeps its encoding when the value fits the code page, and
        // becomes UTF-8 rather than lose a character that does not.
        {ansi, "A", "dir", "/m\xC3\xA1s", "[A]\nname=Espa\xF1" "a\ndir=/m\xE1s\n"},
        {ansi, "A", "dir", "/\xE6\x97\xA5", "[A]\nname=Espa\xC3\xB1" "a\ndir=/\xE6\x97\xA5\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::IniWriteToText(c.before, c.section, c.key, c.value), c.after)
            << testing::PrintToString(c.before) << " [" << c.section << "] " << c.key;
}

TEST(IniWrite, FileRewriteKeepsOtherBytesAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("Tessaly.ini");
    WriteText(path, kIni);
    platform::Error error;
    ASSERT_TRUE(platform::IniWrite(path, "System", "BlockSize", "4096", error));
    std::string expected = kIni;
    expected.replace(expected.find("1000"), 4, "4096");
    EXPECT_EQ(ReadText(path), expected);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"Tessaly.ini"});

    ASSERT_TRUE(platform::IniWrite(dir.file("new.ini"), "A", "k", "v", error));
    EXPECT_EQ(ReadText(dir.file("new.ini")), "[A]\nk=v\n");

    // Through a symbolic link the file it names is rewritten.
    std::filesystem::create_symlink(dir.file("new.ini"), dir.file("link.ini"));
    ASSERT_TRUE(platform::IniWrite(dir.file("link.ini"), "A", "k", "2", error));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(ReadText(dir.file("new.ini")), "[A]\nk=2\n");
}

// ---- File system ----

TEST(MoveAndCopy, ReplaceTheTargetWholeOrRefuseToReplace) {
    TempDir dir;
    WriteText(dir.file("a"), "AAAA");
    WriteText(dir.file("b"), "B");
    platform::Error error;
    EXPECT_FALSE(platform::MoveFileNoReplace(dir.file("a"), dir.file("b"), error));
    EXPECT_TRUE(error && ReadText(dir.file("a")) == "AAAA" && ReadText(dir.file("b")) == "B");

    ASSERT_TRUE(platform::CopyFile(dir.file("a"), dir.file("b"), error)) << platform::ErrorText(error);
    EXPECT_EQ(ReadText(dir.file("b")), "AAAA");
    ASSERT_TRUE(platform::MoveFileNoReplace(dir.file("a"), dir.file("c"), error)) << platform::ErrorText(error);
    EXPECT_FALSE(platform::CopyFile(dir.file("missing"), dir.file("c"), error));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"b", "c"}));
}

// A lock is per open file, so a second one in the same process stands for another writer.
TEST(FileLock, ASecondHolderWaitsItsPatienceThenGetsTheLockOnceFree) {
    TempDir dir;
    const std::string path = dir.file("map.jnx");
    fixture::WriteBytes(path, {1, 2, 3});
    platform::FileLock first, second;
    platform::Error error;
    ASSERT_TRUE(first.Acquire(path, std::chrono::milliseconds(0), error)) << platform::ErrorText(error);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.Acquire(path, std::chrono::milliseconds(100), error));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(error.code, platform::ErrorCode::FileInUse);
    first.Release();
    EXPECT_TRUE(second.Acquire(path, std::chrono::milliseconds(0), error)) << platform::ErrorText(error);
}

// Listing is the folder scan's, and tested with it.
TEST(Folders, CreateAndDelete) {
    TempDir dir;
    platform::Error error;
    EXPECT_TRUE(platform::CreateFolderPath(dir.file("sub/b/c"), error));  // with its missing parents
    EXPECT_TRUE(platform::FolderExists(dir.file("sub/b/c")));
    WriteText(dir.file("b.jnx"), "");
    // A file in the way: no folder, and the failure says which.
    EXPECT_FALSE(platform::CreateFolderPath(dir.file("b.jnx/below"), error));
    EXPECT_EQ(error.code, platform::ErrorCode::CannotCreateFolder);
    EXPECT_TRUE(platform::FileExists(dir.file("b.jnx")) && !platform::FileExists(dir.file("sub")));

    WriteText(dir.file("gone"), "x");
    ::chmod(dir.file("gone").c_str(), 0444);
    EXPECT_TRUE(platform::DeleteFile(dir.file("gone")));
    EXPECT_FALSE(platform::DeleteFile(dir.file("gone")));
    EXPECT_FALSE(platform::DeleteFile(dir.file("sub/b/c")));
    EXPECT_TRUE(platform::FileExists(platform::JoinPath(platform::ProgramFolder(), "test_platform")));
}

// Ranges served from the chunk read ahead, across its end, longer than it, and past the file.
TEST(ReadAhead, ServesEveryRangeWhateverTheChunk) {
    TempDir dir;
    fixture::Bytes bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i);
    fixture::WriteBytes(dir.file("f"), bytes);
    platform::BinaryFile file;
    platform::Error error;
    ASSERT_TRUE(file.Open(dir.file("f"), platform::BinaryFile::Mode::Read, error));
    platform::ReadAhead source(file, 100, 16);
    const std::uint8_t* got = nullptr;
    for (const auto& [offset, length] : {std::pair{0, 4}, {10, 6}, {14, 8}, {20, 40}, {99, 1}, {100, 0}}) {
        ASSERT_TRUE(source.Get(offset, std::size_t(length), got, error)) << offset;
        for (int i = 0; i < length; ++i) EXPECT_EQ(got[i], offset + i) << offset;
    }
    EXPECT_FALSE(source.Get(90, 11, got, error));
    EXPECT_EQ(error.code, platform::ErrorCode::ReadPastEnd);
}

// ---- Publishing ----

// A temporary says whose it is and for what, fits the name limit even for a final name at
// the limit, and nothing a user would name a file reads as one.
TEST(Temporaries, NamedAfterTheirFileWithinTheNameLimit) {
    std::string accented;
    while (accented.size() < 246) accented += "\xC3\xA9";
    for (const std::string& name : {std::string("MAP.jnx"), accented + ".jnx", std::string(255, 'a')}) {
        const std::string temp = platform::FileNameOf(platform::TemporaryPathFor("/maps/" + name));
        EXPECT_LE(temp.size(), std::size_t(NAME_MAX)) << temp;
        EXPECT_TRUE(platform::IsValidUtf8(temp) && platform::IsTemporaryName(temp)) << temp;
        EXPECT_TRUE(temp.starts_with("." + name.substr(0, 3))) << temp;
    }
    for (const char* name : {"MAP.jnx", ".MAP.jnx-abc123.tmp", ".a.tessaly-abcdefg.tmp", ".a.tessaly-abcdefg!.tmp",
                             "a.tessaly-abcdefgh.tmp", ".a.tessaly-abcdefgh.tmp~"})
        EXPECT_FALSE(platform::IsTemporaryName(name)) << name;
}

// Temporaries of killed runs go when a writer next uses their folder; one still being
// written (locked), a recent one and the user's own files stay.
TEST(Temporaries, StaleOnesOfDeadWritersGoWhenTheFolderIsWrittenTo) {
    TempDir dir;
    const auto put = [&](const std::string& name, int hoursOld) {
        WriteText(dir.file(name), "x");
        std::filesystem::last_write_time(dir.file(name),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(hoursOld));
        return name;
    };
    const auto tempName = [&] { return platform::FileNameOf(platform::TemporaryPathFor(dir.file("m.jnx"))); };
    put(tempName(), 7);
    const std::string locked = put(tempName(), 7), recent = put(tempName(), 1), own = put(".m.jnx-abc123.tmp", 70);
    const int holder = ::open(dir.file(locked).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    platform::NewFile writer(dir.file("new.jnx"));
    platform::Error error;
    ASSERT_TRUE(writer.Create(error)) << platform::ErrorText(error);
    // The running writer's own temporary is locked in its turn.
    const int probe = ::open(writer.TemporaryPath().c_str(), O_RDONLY);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
    ASSERT_TRUE(writer.Publish(error)) << platform::ErrorText(error);
    ::close(holder);
    std::vector<std::string> expected{own, locked, recent, "new.jnx"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.list(), expected);
}

// A new file gets the usual mode (not the private one a replacement starts with), and a
// file the user may not write is refused as an update in place refuses it.
TEST(Replacement, RefusedWhereAnUpdateInPlaceIsRefused) {
    TempDir dir;
    fixture::GiveToOrdinaryUser(dir.path());
    for (const char* name : {"locked", "open"}) {
        WriteText(dir.file(name), "old");
        fixture::GiveToOrdinaryUser(dir.file(name));
    }
    ::chmod(dir.file("locked").c_str(), 0444);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    platform::Error error;
    ASSERT_TRUE(platform::WriteNewFile(dir.file("fresh"), "new", error)) << platform::ErrorText(error);
    struct stat st {};
    EXPECT_TRUE(::stat(dir.file("fresh").c_str(), &st) == 0 && (st.st_mode & 07777) == (0666u & ~mask));

    EXPECT_TRUE(fixture::AsOrdinaryUser([&] {
        platform::BinaryFile file;
        platform::Error inPlace, replaced;
        return !file.Open(dir.file("locked"), platform::BinaryFile::Mode::ReadWrite, inPlace) &&
               !platform::WriteNewFile(dir.file("locked"), "new", replaced) && replaced.code == inPlace.code &&
               replaced.file == dir.file("locked") && platform::WriteNewFile(dir.file("open"), "new", replaced);
    }));
    EXPECT_EQ(std::tuple(ReadText(dir.file("locked")), ReadText(dir.file("open"))), std::tuple("old", "new"));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"fresh", "locked", "open"}));
}

// A name the program chose is never followed through a link: whatever stands there refuses
// the write, or with the user's consent is replaced as an entry, the file behind it untouched.
TEST(ChosenName, NeverWritesThroughWhatStandsThere) {
    using Target = platform::NewFile::Target;
    struct Case { const char* what; Target target; bool plantLate; platform::ErrorCode code; };
    const Case cases[] = {
        {"link refused", Target::ChosenName, false, platform::ErrorCode::OutputExists},
        {"link planted after the check", Target::ChosenName, true, platform::ErrorCode::OutputExists},
        {"link replaced", Target::ChosenNameOverwrite, false, platform::ErrorCode::None},
        {"link planted late, replaced", Target::ChosenNameOverwrite, true, platform::ErrorCode::None},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteText(dir.file("victim"), "theirs");
        const std::string name = dir.file("map_new.jnx");
        if (!c.plantLate) std::filesystem::create_symlink(dir.file("victim"), name);
        platform::Error error;
        bool ok = false;
        {
            platform::NewFile out(name, c.target);
            ok = out.Create(error);
            if (ok && c.plantLate) std::filesystem::create_symlink(dir.file("victim"), name);
            ok = ok && out.File().WriteAt(0, "ours", 4, error) && out.Publish(error);
        }
        EXPECT_EQ(error.code, c.code) << c.what;
        EXPECT_EQ(ok, c.code == platform::ErrorCode::None) << c.what;
        EXPECT_EQ(ReadText(dir.file("victim")), "theirs") << c.what;
        EXPECT_EQ(std::filesystem::is_symlink(name), !ok) << c.what;
        EXPECT_TRUE(!ok || ReadText(name) == "ours") << c.what;
        EXPECT_EQ(dir.list().size(), 2u) << c.what;  // no temporary left
    }
}

}  // namespace
