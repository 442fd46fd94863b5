#include "cli/edit_args.h"

#include <algorithm>

#include "edit/user_input.h"

namespace cli {

namespace {

// "K=VALUE" with K a level number 1..5.
std::string SplitLevel(const std::string& option, const std::string& text, int& level, std::string& value) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return option + " " + text + ": expected K=VALUE";
    const auto k = jnx::ParseInt32(text.substr(0, equals));
    if (!k || *k < 1 || *k > kLevelControls) {
        return option + " " + text + ": the level must be a number from 1 to " + std::to_string(kLevelControls);
    }
    level = *k;
    value = jnx::Trim(text.substr(equals + 1));
    return "";
}

std::optional<int> ZoomRow(const std::string& text, const std::vector<settings::ZoomLevelEntry>& table) {
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (table[row].Name == text) return static_cast<int>(row);
    }
    if (const auto number = jnx::ParseInt32(text); number && *number >= 1 &&
                                                   static_cast<std::size_t>(*number) <= table.size()) {
        return *number - 1;
    }
    return std::nullopt;
}

}  // namespace

std::string ParseEditArgs(const ParsedArgs& parsed, const settings::SettingsTables* tables, EditArgs& out) {
    if (const auto id = parsed.Last("--product-id")) {
        if (!jnx::ParseInt16(*id)) return "--product-id " + *id + ": not a whole number from -32768 to 32767";
        out.productIdText = jnx::Trim(*id);
    }
    if (const auto group = parsed.Last("--group")) out.groupText = *group;
    if (const auto order = parsed.Last("--draw-order")) {
        out.drawOrder = jnx::ParseInt16(*order);
        if (!out.drawOrder) return "--draw-order " + *order + ": not a whole number from -32768 to 32767";
    }
    if (const auto version = parsed.Last("--to-version")) {
        const std::string v = jnx::Trim(*version);
        if (v != "3" && v != "4") return "--to-version " + *version + ": must be 3 or 4";
        out.targetVersion = v == "3" ? 3 : 4;
    }
    for (const std::string& text : parsed.All("--level")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--level", text, level, value); !error.empty()) return error;
        if (tables == nullptr) return "--level needs the zoom table of the settings file";
        const auto row = ZoomRow(value, tables->ZoomTable);
        if (!row) return "--level " + text + ": no zoom row of that name or number";
        out.scale[static_cast<std::size_t>(level - 1)] =
            tables->ZoomTable[static_cast<std::size_t>(*row)].StandardScale;
        out.highestLevel = std::max(out.highestLevel, level);
    }
    for (const std::string& text : parsed.All("--priority")) {
        const auto k = jnx::ParseInt32(text);
        if (!k || *k < 1 || *k > kLevelControls) {
            return "--priority " + text + ": the level must be a number from 1 to " + std::to_string(kLevelControls);
        }
        // The priority lowers the chosen row's scale; a level that keeps its scale has no row.
        if (!out.scale[static_cast<std::size_t>(*k - 1)]) {
            return "--priority " + text + " needs --level " + text + "=ZOOM";
        }
        out.priority[static_cast<std::size_t>(*k - 1)] = true;
    }
    for (const std::string& text : parsed.All("--zoom")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--zoom", text, level, value); !error.empty()) return error;
        const auto zoom = jnx::ParseInt16(value);
        if (!zoom) return "--zoom " + text + ": not a whole number from -32768 to 32767";
        out.zoom[static_cast<std::size_t>(level - 1)] = zoom;
        out.highestLevel = std::max(out.highestLevel, level);
        out.anyZoom = true;
    }
    return "";
}

Target TargetFor(const EditArgs& edit, const jnx::JnxDocument& doc) {
    if (!edit.targetVersion) return {doc.Header.Version, false};
    return {*edit.targetVersion, *edit.targetVersion != doc.Header.Version};
}

std::string PrepareFile(const EditArgs& edit, jnx::JnxDocument& doc, const Target& target,
                        jnx::FixedEditorValues& values, jnx::WriterSettings& writer,
                        const settings::Settings& config) {
    const auto levelCount = static_cast<int>(doc.Levels.size());
    if (edit.highestLevel > levelCount) {
        return "level " + std::to_string(edit.highestLevel) + " named, but the file has " +
               std::to_string(levelCount) + (levelCount == 1 ? " level" : " levels");
    }
    if (edit.drawOrder) {
        doc.Header.DrawOrder = *edit.drawOrder;
    } else if (target.changed && target.version == 4) {
        doc.Header.DrawOrder = jnx::kDefaultDrawOrder;
    }

    values.productId = edit.productIdText;
    values.familyGroup = edit.groupText;
    for (int k = 0; k < kLevelControls; ++k) {
        const auto i = static_cast<std::size_t>(k);
        values.scaleChoice[k] = edit.scale[i];
        values.priority[k] = edit.priority[i];
    }
    writer.userLevel = config.UserLevel();
    writer.blockSize = config.BlockSize();
    if (edit.anyZoom) {
        // Zoom numbers are written only for the editor in group-preset mode; asking for them
        // here is that request. Levels not named keep their stored number.
        if (doc.LevelInfos.size() < doc.Levels.size()) return "the file has no zoom numbers to set";
        values.editorWindow = true;
        writer.userLevel = 2;
        for (int k = 0; k < kLevelControls && k < levelCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            const std::int32_t zoom = edit.zoom[i] ? *edit.zoom[i] : doc.LevelInfos[i].Zoom;
            if (!edit.zoom[i] && (zoom < -32768 || zoom > 32767)) {
                return "level " + std::to_string(k + 1) + " holds a zoom number beyond 16 bits; give --zoom " +
                       std::to_string(k + 1) + "=N";
            }
            values.zoomText[k] = std::to_string(zoom);
        }
    }
    return "";
}

}  // namespace cli
