// The edit values of save and split, taken from the command line and checked before any
// file is touched; then fitted to each file the way the editor fits its boxes to a load.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "cli/options.h"
#include "jnx/document.h"
#include "edit/editor_values.h"
#include "jnx/writer_settings.h"
#include "settings/settings.h"

namespace cli {

inline constexpr int kLevelControls = 5;

struct EditArgs {
    std::string productIdText;  // "" keeps the stored product ID
    std::string groupText;      // "" keeps the stored group name
    std::optional<std::int16_t> drawOrder;
    std::optional<int> targetVersion;  // nothing keeps each file's version
    std::array<std::optional<std::int32_t>, kLevelControls> scale{};  // StandardScale of the chosen row
    std::array<bool, kLevelControls> priority{};
    std::array<std::optional<std::int16_t>, kLevelControls> zoom{};
    int highestLevel = 0;  // highest level number any option names
    bool anyZoom = false;
};

// Checks the values of the edit options; "" on success, else the usage error text.
// tables is needed (and only read) for --level.
std::string ParseEditArgs(const ParsedArgs& parsed, const settings::SettingsTables* tables, EditArgs& out);

// The target version and whether it changes, as the editor works them out.
struct Target {
    int version = 0;
    bool changed = false;
};
Target TargetFor(const EditArgs& edit, const jnx::JnxDocument& doc);

// Sets Header.DrawOrder and fills the values the writers read for this file; "" on
// success, else why this file is refused (it is then left untouched).
std::string PrepareFile(const EditArgs& edit, jnx::JnxDocument& doc, const Target& target,
                        jnx::FixedEditorValues& values, jnx::WriterSettings& writer,
                        const settings::Settings& config);

}  // namespace cli
