// Conversions of user-typed numbers, with the limits the file fields allow.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace jnx {

std::string Trim(const std::string& text);
// A whole number within -32768..32767 (surrounding blanks allowed), else nothing.
std::optional<std::int16_t> ParseInt16(const std::string& text);
// A whole number that fits int32, else nothing.
std::optional<std::int32_t> ParseInt32(const std::string& text);

}  // namespace jnx
