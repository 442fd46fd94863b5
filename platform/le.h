// Little-endian loads and stores: the only place where byte order is handled.
#pragma once
#include <cstdint>
#include <cstring>

namespace platform {

inline std::int32_t LoadI32(const std::uint8_t* p) {
    std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                      (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

inline std::uint32_t LoadU32(const std::uint8_t* p) { return static_cast<std::uint32_t>(LoadI32(p)); }

inline void StoreI32(std::uint8_t* p, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t value) { StoreI32(p, static_cast<std::int32_t>(value)); }

}  // namespace platform
