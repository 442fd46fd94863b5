#include "cli/edit_args.h"

#include <algorithm>

#include "edit/user_input.h"
#include "platform/text.h"

namespace cli {

namespace {

// "K=VALUE" with K a level number 1..5.
std::string SplitLevel(const std::string& option, const std::string& text, int& level, std::string& value) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return option + " " + text + ": expected K=VALUE";
    const auto k = platform::ParseInt32(text.substr(0, equals));
    if (!k || *k < 1 || *k > jnx::device::kMaxLevels) {
        return option + " " + text + ": the level must be a number from 1 to " + std::to_string(jnx::device::kMaxLevels);
    }
    level = *k;
    value = platform::Trim(text.substr(equals + 1));
    return "";
}

}  // namespace

std::string ParseEditArgs(const ParsedArgs& parsed, const settings::SettingsTables* tables, EditArgs& out) {
    edit::EditRequest& request = out.request;
    out.overwrite = parsed.Has("--overwrite");
    // The windows read their boxes through the same parsers, so each refuses with the same code.
    platform::Error invalid;
    if (const auto id = parsed.Last("--product-id"); id && !edit::ParseProductId(*id, request, invalid))
        return platform::ErrorText(invalid);
    if (const auto order = parsed.Last("--draw-order"); order && !edit::ParseDrawOrder(*order, request, invalid))
        return platform::ErrorText(invalid);
    if (const auto group = parsed.Last("--group")) edit::ParseGroupName(*group, request);
    // A version that is no number is refused as any other than 3 or 4 is, by the validator.
    if (const auto version = parsed.Last("--to-version"))
        request.targetVersion = platform::ParseInt32(*version).value_or(0);
    if (!edit::ValidateRequest(request, invalid)) return platform::ErrorText(invalid);
    request.replaceSource = parsed.Has("--replace");
    for (const std::string& text : parsed.All("--level")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--level", text, level, value); !error.empty()) return error;
        if (tables == nullptr) return "--level needs the zoom table of the settings file";
        const auto row = edit::ZoomRowOf(value, tables->ZoomTable);
        if (!row) return "--level " + text + ": no zoom row of that name or number";
        request.levels[static_cast<std::size_t>(level - 1)].scale = tables->ZoomTable[*row].StandardScale;
        out.highestLevel = std::max(out.highestLevel, level);
    }
    for (const std::string& text : parsed.All("--priority")) {
        const auto k = platform::ParseInt32(text);
        if (!k || *k < 1 || *k > jnx::device::kMaxLevels) {
            return "--priority " + text + ": the level must be a number from 1 to " + std::to_string(jnx::device::kMaxLevels);
        }
        // The priority lowers the chosen row's scale; a level that keeps its scale has no row.
        edit::LevelRequest& chosen = request.levels[static_cast<std::size_t>(*k - 1)];
        if (!chosen.scale) return "--priority " + text + " needs --level " + text + "=ZOOM";
        chosen.priority = true;
    }
    // A fitted scale and a chosen row for the same level contradict each other; asked
    // together, neither is guessed at.
    out.fitScales = parsed.Has("--fit-scales");
    if (out.fitScales && (parsed.Has("--level") || parsed.Has("--priority")))
        return "--fit-scales cannot go with --level or --priority";
    for (const std::string& text : parsed.All("--zoom")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--zoom", text, level, value); !error.empty()) return error;
        if (value.empty() || !edit::ParseZoomNumber(value, static_cast<std::size_t>(level - 1), request, invalid))
            return "--zoom " + text + ": not a whole number from -32768 to 32767";
        out.highestLevel = std::max(out.highestLevel, level);
    }
    return "";
}

std::string FitToFile(const EditArgs& edit, const jnx::JnxDocument& doc, const settings::Settings& config,
                      jnx::WriterSettings& writer) {
    const auto levelCount = static_cast<int>(doc.Levels.size());
    if (edit.highestLevel > levelCount) {
        return "level " + std::to_string(edit.highestLevel) + " named, but the file has " +
               std::to_string(levelCount) + (levelCount == 1 ? " level" : " levels");
    }
    writer.blockSize = config.BlockSize();
    writer.overwrite = edit.overwrite;
    const auto& levels = edit.request.levels;
    const bool anyZoom =
        std::any_of(levels.begin(), levels.end(), [](const edit::LevelRequest& l) { return l.zoom.has_value(); });
    if (anyZoom && doc.LevelInfos.size() < doc.Levels.size()) return "the file has no zoom numbers to set";
    return "";
}

}  // namespace cli
