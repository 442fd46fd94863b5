// Real JPEG pictures made by the tests through libjpeg, baseline or progressive, for the
// checks that must meet what an encoder writes and not only hand-built headers. Returned
// as the tiles store them: without the leading FF D8.
#pragma once
#include <cstdint>
#include <vector>

#include "support/jpeg_pictures.h"

namespace fixture {

inline std::vector<std::uint8_t> RealJpeg(int width, int height, bool progressive) {
    const std::vector<std::uint8_t> jpeg = Encode(width, height, 0, {3, 2, 2, 75, progressive});
    return std::vector<std::uint8_t>(jpeg.begin() + 2, jpeg.end());
}

}  // namespace fixture
