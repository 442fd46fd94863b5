#include "jnx/write_values.h"

#include <algorithm>
#include <limits>

#include "platform/gather_read.h"
#include "platform/le.h"

namespace jnx {

std::uint32_t CheckMask(std::int32_t dataSize) {
    return dataSize >= 4 ? 0xFFFFFFFFu : (1u << (8 * dataSize)) - 1u;
}

bool HeadsMatch(const platform::BinaryFile& file, const std::vector<ExpectedHead>& heads, bool& match,
                platform::Error& error) {
    std::int64_t length = 0;
    if (!file.Size(length, error)) return false;
    std::vector<std::int64_t> offsets(heads.size());
    for (std::size_t i = 0; i < heads.size(); ++i) offsets[i] = heads[i].offset;
    std::vector<std::uint8_t> values(heads.size() * 4);
    if (!platform::GatherReads(file, length, offsets, 4, values.data(), error)) return false;
    match = true;
    for (std::size_t i = 0; i < heads.size() && match; ++i) {
        const std::uint32_t mask = CheckMask(heads[i].size);
        match = (static_cast<std::uint32_t>(platform::LoadI32(&values[4 * i])) & mask) ==
                (static_cast<std::uint32_t>(heads[i].value) & mask);
    }
    return true;
}

std::size_t FirstBrokenCheckPoint(const platform::BinaryFile& file, const std::vector<CheckPoint>& points,
                                  std::int64_t shift, std::int64_t limit) {
    platform::Error error;
    std::int64_t length = 0;
    if (!file.Size(length, error)) return 0;
    // A file of many tiles has as many points: they are read through the gathering
    // reader, not by one system call each. A point outside the file is broken.
    std::size_t firstOutside = points.size();
    std::vector<std::size_t> read;
    std::vector<std::int64_t> offsets;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].Offset >= limit) continue;
        const std::int64_t pos = std::int64_t(points[i].Offset) + shift;
        if (pos < 0 || pos > length - 4) {
            firstOutside = std::min(firstOutside, i);
            continue;
        }
        read.push_back(i);
        offsets.push_back(pos);
    }
    std::vector<std::uint8_t> values(offsets.size() * 4);
    if (!platform::GatherReads(file, length, offsets, 4, values.data(), error))
        return read.empty() ? firstOutside : std::min(firstOutside, read[0]);
    for (std::size_t k = 0; k < read.size() && read[k] < firstOutside; ++k) {
        if (platform::LoadI32(values.data() + 4 * k) != points[read[k]].Value) return read[k];
    }
    return firstOutside;
}

}  // namespace jnx
