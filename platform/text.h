// Text conversions: all text inside the program is UTF-8; "ANSI" is Windows-1252. And what
// users type, turned into numbers within the limits of the file fields.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

bool IsValidUtf8(const std::string& bytes);
// Windows-1252 bytes to UTF-8 text. Bytes with no character in the code page map to U+FFFD.
std::string Windows1252ToUtf8(const std::string& bytes);
// UTF-8 text to Windows-1252, one byte per character; characters outside the code page become '?'.
std::string Utf8ToWindows1252(const std::string& text);
// Decodes UTF-8 leniently: invalid sequences become U+FFFD, so the result is always valid UTF-8.
std::string SanitizeUtf8(const std::string& bytes);

// Without the blanks and tabs around it.
std::string Trim(const std::string& text);
// A whole number within -32768..32767 (surrounding blanks allowed), else nothing.
std::optional<std::int16_t> ParseInt16(const std::string& text);
// A whole number that fits int32, else nothing.
std::optional<std::int32_t> ParseInt32(const std::string& text);

}  // namespace platform
