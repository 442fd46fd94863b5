// What users type, turned into values: numbers within the limits of the file fields,
// and zoom rows named or numbered. Every front end parses through here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace edit {

std::string Trim(const std::string& text);
// A whole number within -32768..32767 (surrounding blanks allowed), else nothing.
std::optional<std::int16_t> ParseInt16(const std::string& text);
// A whole number that fits int32, else nothing.
std::optional<std::int32_t> ParseInt32(const std::string& text);
// The row of the zoom table with this name, or with this 1-based number.
std::optional<std::size_t> ZoomRowOf(const std::string& text, const std::vector<settings::ZoomLevelEntry>& table);

}  // namespace edit
