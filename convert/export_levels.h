// Which of a map's levels an export writes, the same for every format.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "jnx/document.h"
#include "platform/error.h"

namespace convert {

// wanted: 1-based levels, each at most once; empty: every level. Each must exist; those
// without tiles are left out. levels: 0-based, in the map's order. Fails when no tile is left.
bool LevelsToExport(const jnx::JnxDocument& doc, const std::string& path, const std::vector<int>& wanted,
                    std::vector<std::size_t>& levels, platform::Error& error);

}  // namespace convert
