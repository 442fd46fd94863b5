// Private-profile (INI) access: [section] lines and key=value lines. Section and key
// names match without regard to case; values are cut at 255 characters; an absent key
// reads as empty. A write changes one line (or adds it, and its section when missing)
// and keeps every other byte of the file.
#pragma once
#include <string>

#include "platform/error.h"

namespace platform {

inline constexpr std::size_t kIniValueLimit = 255;

// Parses text already read; the file is UTF-8 when valid, else Windows-1252.
std::string IniReadFromText(const std::string& fileBytes, const std::string& section, const std::string& key);
std::string IniRead(const std::string& path, const std::string& section, const std::string& key);
// Returns the new file text for a single-key write.
std::string IniWriteToText(const std::string& fileBytes, const std::string& section, const std::string& key,
                           const std::string& value);
bool IniWrite(const std::string& path, const std::string& section, const std::string& key, const std::string& value,
              Error& error);

}  // namespace platform
