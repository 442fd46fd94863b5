#include "edit/user_input.h"

#include <charconv>
#include <limits>

namespace edit {
namespace {

std::optional<std::int64_t> ParseWhole(const std::string& text, std::int64_t low, std::int64_t high) {
    const std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    // from_chars takes a '-' but not a '+'; a lone sign is no number.
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-') return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<std::int16_t> ParseInt16(const std::string& text) {
    const auto value = ParseWhole(text, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<std::int32_t> ParseInt32(const std::string& text) {
    const auto value = ParseWhole(text, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::size_t> ZoomRowOf(const std::string& text, const std::vector<settings::ZoomLevelEntry>& table) {
    const std::string wanted = Trim(text);
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (table[row].Name == wanted) return row;
    }
    if (const auto number = ParseInt32(wanted); number && *number >= 1 && std::size_t(*number) <= table.size())
        return std::size_t(*number - 1);
    return std::nullopt;
}

}  // namespace edit
