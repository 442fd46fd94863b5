// The settings the writers need, read by the caller from the settings file.
#pragma once
#include <cstdint>

namespace jnx {

inline constexpr std::int64_t kDefaultBlockSize = 200000000;

struct WriterSettings {
    int userLevel = 1;                          // 2 = group-preset mode: zoom numbers come from the editor
    std::int64_t blockSize = kDefaultBlockSize; // largest piece of tile data copied at once; always > 0
};

}  // namespace jnx
