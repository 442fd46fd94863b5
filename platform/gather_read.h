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

}  // namespace platform
