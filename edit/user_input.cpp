#include "edit/user_input.h"

#include "platform/text.h"

namespace edit {

using platform::ParseInt32;
using platform::Trim;

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
