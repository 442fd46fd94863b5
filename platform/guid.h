// Random version-4 GUIDs.
#pragma once
#include <array>
#include <cstdint>

namespace platform {

// 16 random bytes with the version (4) and variant bits set, in the order a GUID
// structure holds them in memory on a little-endian machine.
std::array<std::uint8_t, 16> NewGuidBytes();

}  // namespace platform
