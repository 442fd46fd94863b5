// What the writers receive and share: the resolved edit values (numbers and bytes checked
// before any file is touched), and the reading back of check points.
#pragma once
#include <string>
#include <vector>

#include "jnx/records.h"
#include "platform/binary_file.h"

namespace jnx {

struct WriteValues {
    std::int32_t productId = 0;
    std::int32_t drawOrder = kDefaultDrawOrder;  // written in version 4 only
    Bytes groupName;                   // zstring to write
    std::vector<std::int32_t> scales;  // one per level
    std::vector<std::int32_t> zooms;   // one per level
};

// The bits of a check value that belong to a tile of dataSize bytes: a tile shorter than
// four bytes has its value run into whatever follows it, which differs between files.
std::uint32_t CheckMask(std::int32_t dataSize);

// A tile's first bytes as they must read in a written file.
struct ExpectedHead {
    std::int64_t offset = 0;
    std::int32_t size = 0;   // the tile's DataSize: a tile shorter than four bytes owns fewer
    std::int32_t value = 0;  // its check value
};

// Reads every head through the gathering reader (ascending offsets are fastest) and sets
// match to whether each holds its value, in the bits the tile owns. False only when a
// head cannot be read; every head must have four bytes of file behind it.
bool HeadsMatch(const platform::BinaryFile& file, const std::vector<ExpectedHead>& heads, bool& match,
                platform::Error& error);

// Index of the first check point whose int32, read at Offset + shift, differs from the
// recorded value (or cannot be read); points.size() when all hold. Only points whose
// Offset lies below limit are read: the writers never touch bytes beyond it.
std::size_t FirstBrokenCheckPoint(const platform::BinaryFile& file, const std::vector<CheckPoint>& points,
                                  std::int64_t shift, std::int64_t limit);

}  // namespace jnx
