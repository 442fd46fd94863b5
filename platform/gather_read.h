// Many small reads at scattered positions of one file, done through a moving memory
// map so that each costs a page fault instead of a system call.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/binary_file.h"

namespace platform {

// Reads `width` bytes at each offset into out (offsets.size() × width bytes, in the
// order of offsets). Every range must lie inside the file of length fileLength; the
// caller checks that. Ascending offsets are fastest. At most one window of the file is
// mapped at a time, so memory use does not grow with the file.
bool GatherReads(const BinaryFile& file, std::int64_t fileLength, const std::vector<std::int64_t>& offsets,
                 std::size_t width, std::uint8_t* out, Error& error);

}  // namespace platform
