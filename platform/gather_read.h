// Many small reads at scattered positions of one file, by positioned reads: heads that lie
// close together are fetched by one read. No memory map, so a file that shrinks or fails
// while it is read gives an error, never a signal.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/binary_file.h"

namespace platform {

// Reads `width` bytes at each offset into out (offsets.size() × width bytes, in the
// order of offsets). Every range must lie inside the file of length fileLength; the
// caller checks that; a range the file no longer holds is FileChangedWhileRead. Ascending
// offsets are fastest. Memory use does not grow with the file.
bool GatherReads(const BinaryFile& file, std::int64_t fileLength, const std::vector<std::int64_t>& offsets,
                 std::size_t width, std::uint8_t* out, Error& error);

// Ranges asked for in ascending order, served from long reads ahead: densely packed tiles
// then cost one system call per megabyte rather than one each. Memory stays at one chunk
// (or the longest range asked for).
class ReadAhead {
public:
    ReadAhead(const BinaryFile& file, std::int64_t fileLength, std::int64_t chunk = 1024 * 1024)
        : file_(file), fileLength_(fileLength), chunk_(chunk) {}

    // Points at `length` bytes at `offset`, valid until the next call. The range must lie
    // inside the file of length fileLength; the caller checks that.
    bool Get(std::int64_t offset, std::size_t length, const std::uint8_t*& bytes, Error& error);

private:
    const BinaryFile& file_;
    std::int64_t fileLength_;
    std::int64_t chunk_;  // long enough that the system call no longer counts, short enough to stay cached
    std::int64_t start_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace platform
