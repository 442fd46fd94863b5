// Binary files with positioned reads and writes. Positions are 64-bit; the format's
// int32 fields are converted by the callers, which check them against Size() first.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// The largest piece of data copied between files at once, unless the settings say otherwise.
inline constexpr std::int64_t kDefaultBlockSize = 200000000;

using Bytes = std::vector<std::uint8_t>;

class BinaryFile {
public:
    // CreateNew fails when the name is taken, so a file made under a fresh name is
    // known to be the caller's own.
    enum class Mode { Read, ReadWrite, CreateTruncate, CreateNew };

    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;

    // Refuses anything but a regular file, without waiting on a pipe. permissions apply
    // to a file the call creates, less the process's umask.
    bool Open(const std::string& path, Mode mode, Error& error, unsigned permissions = 0666);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Length of the file now (as the operating system sees it).
    bool Size(std::int64_t& size, Error& error) const;

    // Reads exactly n bytes at pos; a short read (end of file) is a failure.
    bool ReadAt(std::int64_t pos, void* buffer, std::size_t n, Error& error) const;
    // Writes all n bytes at pos.
    bool WriteAt(std::int64_t pos, const void* buffer, std::size_t n, Error& error);
    // Told the bytes copied so far after each chunk; false stops the copy (Cancelled).
    using ChunkReport = std::function<bool(std::int64_t copied)>;
    // Copies n bytes from source at sourcePos to this file at destPos, kernel-side where
    // possible, in chunks of at most maxChunk bytes.
    bool CopyFrom(const BinaryFile& source, std::int64_t sourcePos, std::int64_t destPos, std::int64_t n,
                  std::int64_t maxChunk, Error& error, const ChunkReport& report = {});
    // Flushes written data to the device.
    bool Sync(Error& error);

    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// Flushes a closed file's data to the device, before a rename puts it in another's place.
bool SyncFile(const std::string& path, Error& error);

// Reads a file from its start up to limit bytes: the whole of a small file, and never more
// than limit of a large or endless one.
bool ReadFileStart(const std::string& path, std::size_t limit, std::string& contents, Error& error);

}  // namespace platform
