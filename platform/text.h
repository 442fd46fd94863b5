// Text conversions: all text inside the program is UTF-8; "ANSI" is Windows-1252.
#pragma once
#include <string>

namespace platform {

bool IsValidUtf8(const std::string& bytes);
// Windows-1252 bytes to UTF-8 text. Bytes with no character in the code page map to U+FFFD.
std::string Windows1252ToUtf8(const std::string& bytes);
// UTF-8 text to Windows-1252, one byte per character; characters outside the code page become '?'.
std::string Utf8ToWindows1252(const std::string& text);
// Decodes UTF-8 leniently: invalid sequences become U+FFFD, so the result is always valid UTF-8.
std::string SanitizeUtf8(const std::string& bytes);

}  // namespace platform
