// What the handheld units accept. A map beyond these loads only in part on the device,
// or not at all, though the file itself may be sound; the check judges against them and
// every part of the program that offers "the levels of a map" stops where the unit does.
#pragma once
#include <cstdint>

#include "jnx/records.h"

namespace jnx::device {

inline constexpr int kMaxLevels = 5;                    // later levels are ignored by the unit
inline constexpr std::int32_t kMaxTilesPerLevel = 50000;
inline constexpr std::int64_t kMaxFileLength = jnx::kMaxFileLength;  // 4 GiB - 1, as offsets address
inline constexpr int kMaxFiles = 250;                   // JNX files on one unit
inline constexpr int kMaxFilesOldFirmware = 200;        // before the 2011 firmware
inline constexpr std::int32_t kMinDrawOrder = 0;
inline constexpr std::int32_t kMaxDrawOrder = 100;

}  // namespace jnx::device
