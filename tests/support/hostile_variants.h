// Malformed variants of a valid file, for the tests that feed them to the reader and to
// the command line: every int32 field set to hostile values, the file cut at and around
// every structure boundary, texts left unterminated.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/jnx_builder.h"

namespace fixture {

// Where the fields and structures of a built file lie.
struct HostileLayout {
    BuiltJnx built;
    std::vector<std::int64_t> intFields;   // every int32 field of the file
    std::vector<std::int64_t> boundaries;  // where each structure begins
    std::vector<std::int64_t> textStarts;  // where each zstring of the block begins
};

// Two levels of three tiles and a signature, so every structure is there at least twice.
JnxRecipe HostileBaseRecipe(int version);
HostileLayout DescribeHostile(const JnxRecipe& recipe);

struct HostileVariant {
    std::string name;     // what was done, for failure messages
    Bytes bytes;
    std::int64_t at = 0;  // the field changed, the length cut to, or the text made unterminated
};

// Each int32 field set to 0, -1, INT32_MIN, INT32_MAX and one past the end of the file.
std::vector<HostileVariant> IntFieldVariants(const HostileLayout& layout);
// The file cut at every boundary, one byte either side of it, and every 23 bytes.
std::vector<HostileVariant> TruncatedVariants(const HostileLayout& layout);
// Every byte from a text's start to the end of the file made non-zero.
std::vector<HostileVariant> UnterminatedTextVariants(const HostileLayout& layout);

}  // namespace fixture
