#include "convert/fill_colour.h"

namespace convert {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<FillColour> ParseFillColour(std::string_view text) {
    if (text == "white") return FillColour{255, 255, 255};
    if (text == "black") return FillColour{0, 0, 0};
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    std::uint8_t channels[3];
    for (int i = 0; i < 3; ++i) {
        const int high = HexDigit(text[std::size_t(i) * 2]);
        const int low = HexDigit(text[std::size_t(i) * 2 + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        channels[i] = std::uint8_t(high * 16 + low);
    }
    return FillColour{channels[0], channels[1], channels[2]};
}

}  // namespace convert
