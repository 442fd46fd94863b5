#include "cli/edit_args.h"

#include <algorithm>

#include "edit/resolve_edit.h"
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
    edit::EditorValues& request = out.request;
    out.overwrite = parsed.Has("--overwrite");
    // Checked by the one validator every road uses, so each refuses in the same words.
    if (const auto id = parsed.Last("--product-id")) request.txtProductID = platform::Trim(*id);
    if (const auto group = parsed.Last("--group")) request.txtFamiliGroup = *group;
    if (const auto order = parsed.Last("--draw-order")) request.txtDrawOrder = platform::Trim(*order);
    platform::Error invalid;
    if (!edit::ValidateRequest(request, invalid)) return platform::ErrorText(invalid);
    if (const auto version = parsed.Last("--to-version")) {
        const std::string v = platform::Trim(*version);
        if (v != "3" && v != "4") return "--to-version " + *version + ": must be 3 or 4";
        request.cboActualizar = v == "3" ? 3 : 4;
    }
    request.chkRemoveOld = parsed.Has("--replace");
    for (const std::string& text : parsed.All("--level")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--level", text, level, value); !error.empty()) return error;
        if (tables == nullptr) return "--level needs the zoom table of the settings file";
        const auto row = edit::ZoomRowOf(value, tables->ZoomTable);
        if (!row) return "--level " + text + ": no zoom row of that name or number";
        request.cboNivel[static_cast<std::size_t>(level - 1)] = tables->ZoomTable[*row].StandardScale;
        out.highestLevel = std::max(out.highestLevel, level);
    }
    for (const std::string& text : parsed.All("--priority")) {
        const auto k = platform::ParseInt32(text);
        if (!k || *k < 1 || *k > jnx::device::kMaxLevels) {
            return "--priority " + text + ": the level must be a number from 1 to " + std::to_string(jnx::device::kMaxLevels);
        }
        // The priority lowers the chosen row's scale; a level that keeps its scale has no row.
        if (!request.cboNivel[static_cast<std::size_t>(*k - 1)]) {
            return "--priority " + text + " needs --level " + text + "=ZOOM";
        }
        request.chkSplitOPriority[static_cast<std::size_t>(*k - 1)] = true;
    }
    for (const std::string& text : parsed.All("--zoom")) {
        int level = 0;
        std::string value;
        if (auto error = SplitLevel("--zoom", text, level, value); !error.empty()) return error;
        const auto zoom = platform::ParseInt16(value);
        if (!zoom) return "--zoom " + text + ": not a whole number from -32768 to 32767";
        request.txtNivel[static_cast<std::size_t>(level - 1)] = std::to_string(*zoom);
        out.highestLevel = std::max(out.highestLevel, level);
        out.anyZoom = true;
    }
    return "";
}

std::string RequestForFile(const EditArgs& edit, const jnx::JnxDocument& doc, const settings::Settings& config,
                           edit::EditorValues& request, jnx::WriterSettings& writer) {
    const auto levelCount = static_cast<int>(doc.Levels.size());
    if (edit.highestLevel > levelCount) {
        return "level " + std::to_string(edit.highestLevel) + " named, but the file has " +
               std::to_string(levelCount) + (levelCount == 1 ? " level" : " levels");
    }
    request = edit.request;
    writer.userLevel = config.UserLevel();
    writer.blockSize = config.BlockSize();
    writer.overwrite = edit.overwrite;
    if (edit.anyZoom) {
        // Zoom numbers are written only under the editor's rules in group-preset mode;
        // asking for them here is that request. Levels not named keep their stored number.
        if (doc.LevelInfos.size() < doc.Levels.size()) return "the file has no zoom numbers to set";
        request.editorRules = true;
        writer.userLevel = 2;
        for (int k = 0; k < jnx::device::kMaxLevels && k < levelCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (!request.txtNivel[i].empty()) continue;
            const std::int32_t zoom = doc.LevelInfos[i].Zoom;
            if (zoom < -32768 || zoom > 32767) {
                return "level " + std::to_string(k + 1) + " holds a zoom number beyond 16 bits; give --zoom " +
                       std::to_string(k + 1) + "=N";
            }
            request.txtNivel[i] = std::to_string(zoom);
        }
    }
    return "";
}

}  // namespace cli
