// The JSON writer of every --json output. Whatever bytes it is given, what it writes is
// valid UTF-8 and valid JSON (RFC 8259), so that a strict parser never rejects a listing
// because of one odd file.
//
// Strings come in two kinds, since they are used in two ways:
//  - Texts (group names, titles, messages) are read by people: a byte that is not part of
//    valid UTF-8 becomes U+FFFD. Texts of the files are decoded before they get here, so
//    this is only a safeguard.
//  - File names are used again, to open the file: a Linux name is any bytes but '/' and NUL,
//    and must come back byte for byte. Each byte that is not part of valid UTF-8, and each
//    '%', is written as %XX (two upper-case hex digits); everything else is kept.
//    Percent-decoding the string (for example Python's urllib.parse.unquote_to_bytes) gives
//    the name's bytes. Why this escape: the alternatives lose or break something. \u00XX
//    (the Latin-1 character of the byte) turns the byte E9 into the same "é" as the UTF-8
//    C3 A9, so a listed name may name another file; a lone surrogate \uDCXX (Python's
//    surrogateescape) is lossless but not Unicode, and strict parsers refuse it; U+FFFD
//    alone keeps no byte at all; an extra lossless field would change the keys that the
//    batch table and info have always had. Percent-encoding keeps those keys, leaves every
//    valid UTF-8 name without '%' as it is, and is ASCII that any URL decoder reverses;
//    '%' must be encoded too, or "%E9" in a valid name would decode to a byte it never held.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Builds one JSON value; commas and nesting are tracked so callers only name the keys.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& key);
    JsonWriter& String(const std::string& text);  // a text, see above
    JsonWriter& Name(const std::string& path);    // a file name or path, see above
    JsonWriter& Int(std::int64_t value);
    JsonWriter& Double(double value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    const std::string& Text() const { return out_; }

private:
    void BeforeValue();
    void Indent();
    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace cli
