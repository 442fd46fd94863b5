// Zoom rows as users name them, by name or by number. Numbers are parsed in platform/text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jnx/device_limits.h"
#include "settings/settings.h"

namespace edit {

static_assert(settings::kLevelKeys == jnx::device::kMaxLevels, "the settings name one key per level a unit shows");

// The row of the zoom table with this name, or with this 1-based number.
std::optional<std::size_t> ZoomRowOf(const std::string& text, const std::vector<settings::ZoomLevelEntry>& table);

}  // namespace edit
