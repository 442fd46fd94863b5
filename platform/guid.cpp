#include "platform/guid.h"

#include <random>

namespace platform {

std::array<std::uint8_t, 16> NewGuidBytes() {
    std::random_device source;
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const auto word = static_cast<std::uint32_t>(source());
        for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    // Data3 is a little-endian 16-bit field: its high nibble, the version, is in byte 7.
    bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
    // Data4 is a plain byte array: the variant bits 10xx are at the top of byte 8.
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return bytes;
}

}  // namespace platform
