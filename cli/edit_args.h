// The edit options of save, split, merge and import, read into the typed request and
// checked before any file is touched; then fitted to each file.
#pragma once
#include <string>

#include "cli/options.h"
#include "edit/edit_request.h"
#include "jnx/document.h"
#include "jnx/writer_settings.h"
#include "settings/settings.h"

namespace cli {

struct EditArgs {
    edit::EditRequest request;  // as the options give it, before it meets a file
    int highestLevel = 0;       // highest level number any option names
    bool overwrite = false;     // --overwrite: files at the names the program chooses may be replaced
    bool fitScales = false;     // --fit-scales: the caller sets the factor, which depends on the device profile
};

// Reads and checks the values of the edit options; "" on success, else the usage error
// text. tables is needed (and only read) for --level.
std::string ParseEditArgs(const ParsedArgs& parsed, const settings::SettingsTables* tables, EditArgs& out);

// Whether the request fits one file, and the writer settings for it; "" on success, else
// why this file is refused (it is then left untouched).
std::string FitToFile(const EditArgs& edit, const jnx::JnxDocument& doc, const settings::Settings& config,
                      jnx::WriterSettings& writer);

}  // namespace cli
