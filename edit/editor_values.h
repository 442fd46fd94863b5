// EditorValues: the one edit request. Every front end (editor window, batch panel,
// command line, merge panel) fills this plain value with what the user chose, as text
// where the user typed it; ResolveEdit (edit/resolve_edit.h) checks it once against the
// file and the settings. Field names follow the window controls they come from.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "jnx/device_limits.h"

namespace edit {


struct EditorValues {
    // The editor window's own rules apply (zoom numbers are written in group-preset mode).
    bool editorRules = false;

    std::string txtProductID;    // "" keeps the stored product ID
    std::string txtFamiliGroup;  // "" keeps the stored group name
    std::string txtDrawOrder;    // "" keeps the draw order (25 on a conversion to version 4)
    std::optional<int> cboActualizar;  // target version 3 or 4; nothing keeps the file's version

    // Per level (index k is level k + 1).
    std::array<std::optional<std::int32_t>, jnx::device::kMaxLevels> cboNivel{};  // StandardScale of the chosen row
    std::array<bool, jnx::device::kMaxLevels> chkSplitOPriority{};  // priority on save, "extract this level" on split
    std::array<std::string, jnx::device::kMaxLevels> txtNivel{};   // zoom number (editor rules only)

    bool chkRemoveOld = false;  // a rewritten file replaces its source (batch)
};

}  // namespace edit
