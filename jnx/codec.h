// Conversion between zero-terminated byte strings of a JNX file and text (UTF-8 inside
// the program), and the text of a new map identifier.
#pragma once
#include <string>

#include "jnx/records.h"

namespace jnx {

// Empty text gives the single byte 0; otherwise the text as UTF-8 (utf8) or as
// Windows-1252 (one byte per character), then one 0 byte.
Bytes EncodeText(const std::string& text, bool utf8);
// utf8: the bytes as UTF-8 (invalid sequences shown as U+FFFD) with one final 0 removed.
// Not utf8: the non-zero bytes as Windows-1252 characters.
std::string DecodeText(const Bytes& bytes, bool utf8);
// 32 upper-case hex digits of a random GUID in memory order, grouped 8-4-4-4-12.
std::string NewGuidText();

}  // namespace jnx
