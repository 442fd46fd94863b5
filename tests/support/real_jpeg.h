// Real JPEG pictures made by the tests through libjpeg, baseline or progressive, for the
// checks that must meet what an encoder writes and not only hand-built headers. Returned
// as the tiles store them: without the leading FF D8.
#pragma once
#include <cstdint>
#include <vector>

#include "support/jpeg_pictures.h"

namespace fixture {

inline std::vector<std::uint8_t> RealJpeg(int width, int height, bool progressive) {
    Look look;
    look.progressive = progressive;
    std::vector<std::uint8_t> stored = Encode(width, height, 0, look);
    stored.erase(stored.begin(), stored.begin() + 2);
    return stored;
}

}  // namespace fixture
