// The edit values of save and split, taken from the command line and checked before any
// file is touched; then fitted to each file the way the editor fits its boxes to a load.
#pragma once
#include <string>

#include "cli/options.h"
#include "edit/editor_values.h"
#include "jnx/document.h"
#include "jnx/writer_settings.h"
#include "settings/settings.h"

namespace cli {

struct EditArgs {
    edit::EditorValues request;  // as the options give it, before it meets a file
    int highestLevel = 0;        // highest level number any option names
    bool anyZoom = false;
    bool overwrite = false;      // --overwrite: files at the names the program chooses may be replaced
};

// Checks the values of the edit options; "" on success, else the usage error text.
// tables is needed (and only read) for --level.
std::string ParseEditArgs(const ParsedArgs& parsed, const settings::SettingsTables* tables, EditArgs& out);

// The request for one file, and the writer settings; "" on success, else why this file
// is refused (it is then left untouched).
std::string RequestForFile(const EditArgs& edit, const jnx::JnxDocument& doc, const settings::Settings& config,
                           edit::EditorValues& request, jnx::WriterSettings& writer);

}  // namespace cli
