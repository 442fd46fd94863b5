#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/binary_file.h"
#include "platform/gather_read.h"
#include "platform/new_file.h"
#include "support/jnx_builder.h"

namespace {

using platform::BinaryFile;

fixture::Bytes Pattern(std::size_t n) {
    fixture::Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t(i * 7 + i / 251);
    return bytes;
}

TEST(BinaryFileTest, ReadsAndCopiesTakeExactlyTheRangeAndRefusePastTheEnd) {
    fixture::TempDir dir;
    const auto source = Pattern(100000);
    fixture::WriteBytes(dir.file("src"), source);
    BinaryFile in, out;
    platform::Error error;
    ASSERT_TRUE(in.Open(dir.file("src"), BinaryFile::Mode::Read, error)) << platform::ErrorText(error);
    std::int64_t size = 0;
    EXPECT_TRUE(in.Size(size, error) && size == 100000);
    std::uint8_t buffer[10];
    EXPECT_TRUE(in.ReadAt(99990, buffer, 10, error) && buffer[9] == source[99999]);
    EXPECT_FALSE(in.ReadAt(99991, buffer, 10, error));
    EXPECT_FALSE(in.ReadAt(-1, buffer, 1, error));
    EXPECT_TRUE(error);

    ASSERT_TRUE(out.Open(dir.file("dst"), BinaryFile::Mode::CreateTruncate, error));
    ASSERT_TRUE(out.WriteAt(0, "head", 4, error));
    ASSERT_TRUE(out.CopyFrom(in, 10, 4, 99000, 4096, error)) << platform::ErrorText(error);  // the source goes on after the range
    out.Close();
    auto copied = fixture::ReadBytes(dir.file("dst"));
    ASSERT_EQ(copied.size(), 99004u);
    EXPECT_TRUE(std::equal(copied.begin() + 4, copied.end(), source.begin() + 10));
    ASSERT_TRUE(out.Open(dir.file("dst"), BinaryFile::Mode::ReadWrite, error));
    EXPECT_FALSE(out.CopyFrom(in, 50000, 0, 50001, 1 << 20, error));
    EXPECT_TRUE(error);
}

// A pipe would block the open for ever and a device or kernel file reads as data: all are
// refused at once, by the reader and by the publish step alike.
TEST(BinaryFileTest, AnythingButARegularFileIsRefused) {
    fixture::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.jnx").c_str(), 0644), 0);
    for (const std::string& path :
         {dir.file("pipe.jnx"), std::string("/dev/zero"), std::string("/proc/self/status"), dir.path()})
        for (const auto mode : {BinaryFile::Mode::Read, BinaryFile::Mode::ReadWrite}) {
            BinaryFile file;
            platform::Error error;
            EXPECT_FALSE(file.Open(path, mode, error)) << path;
            EXPECT_EQ(std::pair(error.code, error.file), std::pair(platform::ErrorCode::NotRegularFile, path));
        }
    platform::Error error;
    EXPECT_FALSE(platform::WriteNewFile(dir.file("pipe.jnx"), "data", error));
    EXPECT_EQ(error.code, platform::ErrorCode::NotRegularFile);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"pipe.jnx"});
}

TEST(GatherReadsTest, ScatteredReadsInAnyOrderJoinedOrNot) {
    fixture::TempDir dir;
    const auto bytes = Pattern(20 << 20);
    fixture::WriteBytes(dir.file("a"), bytes);
    BinaryFile file;
    platform::Error error;
    ASSERT_TRUE(file.Open(dir.file("a"), BinaryFile::Mode::Read, error));
    const std::int64_t length = std::int64_t(bytes.size());
    // Close heads (joined into one read), far ones, and some out of order.
    const std::vector<std::int64_t> offsets{0, 6, 4093, 8000, 18 << 20, length - 4, 17, 4096 * 300 + 2, (16 << 20) - 2};
    std::vector<std::uint8_t> out(offsets.size() * 4);
    ASSERT_TRUE(platform::GatherReads(file, length, offsets, 4, out.data(), error)) << platform::ErrorText(error);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        EXPECT_TRUE(std::equal(out.begin() + 4 * i, out.begin() + 4 * i + 4, bytes.begin() + offsets[i])) << i;
    EXPECT_FALSE(platform::GatherReads(file, length, {length - 3}, 4, out.data(), error));

    // A file cut short while it is read (a card pulled out) is an error, never a signal.
    std::filesystem::resize_file(dir.file("a"), std::uintmax_t(length / 2));
    EXPECT_FALSE(platform::GatherReads(file, length, offsets, 4, out.data(), error));
    EXPECT_EQ(std::pair(error.code, error.file), std::pair(platform::ErrorCode::FileChangedWhileRead, dir.file("a")));
}

}  // namespace
