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

// Index of the first check point whose int32, read at Offset + shift, differs from the
// recorded value (or cannot be read); points.size() when all hold. Only points whose
// Offset lies below limit are read: the writers never touch bytes beyond it.
std::size_t FirstBrokenCheckPoint(const platform::BinaryFile& file, const std::vector<CheckPoint>& points,
                                  std::int64_t shift, std::int64_t limit);

}  // namespace jnx
