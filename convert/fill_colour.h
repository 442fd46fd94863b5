// The colour a converter lays where a map has no imagery of its own: a joined
// tile's missing neighbour, or the parts of a raster without data.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace convert {

struct FillColour {
    std::uint8_t r = 255, g = 255, b = 255;

    friend bool operator==(const FillColour&, const FillColour&) = default;
};

// "white", "black", "#RRGGBB" or "RRGGBB" (hex digits in either case); anything
// else is no colour.
std::optional<FillColour> ParseFillColour(std::string_view text);

}  // namespace convert
