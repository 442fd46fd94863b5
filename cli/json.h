// A small JSON writer for the command line's --json output. Strings are byte strings that
// may not be UTF-8 (file names, texts of other producers): invalid bytes are written as
// \u00XX (the Latin-1 character of that number) so the output always parses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

std::string JsonQuote(const std::string& bytes);

// Builds one JSON value; commas and nesting are tracked so callers only name the keys.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& key);
    JsonWriter& String(const std::string& value);
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
