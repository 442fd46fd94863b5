// Private-profile (INI) access: [section] lines and key=value lines. Section and key
// names match without regard to case; values are cut at 255 characters; an absent key
// reads as empty. A write changes one line (or adds it, and its section when missing)
// and keeps every other byte of the file.
#pragma once
#include <string>
#include <unordered_map>

#include "platform/error.h"

namespace platform {

inline constexpr std::size_t kIniValueLimit = 255;
// Settings are a few kilobytes; anything near this size is not a settings file.
inline constexpr std::size_t kIniSizeLimit = std::size_t(1) << 20;

// The text of a settings file: a regular file of at most kIniSizeLimit bytes with no NUL
// byte. Anything else, or a file that cannot be opened, fails and says which.
bool IniLoad(const std::string& path, std::string& text, Error& error);

// Every key of a file's text, parsed once, so that reading many keys costs one pass.
class IniKeys {
public:
    explicit IniKeys(const std::string& fileBytes);
    // The value as IniReadFromText gives it for the same text.
    std::string Read(const std::string& section, const std::string& key) const;

private:
    // Folded section name, then folded key name; the first of each wins.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections_;
};

// Parses text already read; the file is UTF-8 when valid, else Windows-1252.
std::string IniReadFromText(const std::string& fileBytes, const std::string& section, const std::string& key);
// Reads the file anew on every call, so a key written meanwhile is seen; "" when the file
// cannot be loaded.
std::string IniRead(const std::string& path, const std::string& section, const std::string& key);
// Returns the new file text for a single-key write.
std::string IniWriteToText(const std::string& fileBytes, const std::string& section, const std::string& key,
                           const std::string& value);
// Refuses, rather than starts afresh, a file that is there but cannot be loaded.
bool IniWrite(const std::string& path, const std::string& section, const std::string& key, const std::string& value,
              Error& error);

}  // namespace platform
