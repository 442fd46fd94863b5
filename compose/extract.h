// Level extraction: a new JNX file holding exactly one level of the document's file,
// and the rules that place it.
#pragma once
#include <array>
#include <string>

#include "jnx/document.h"
#include "edit/editor_values.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"

namespace compose {

// level is 1-based. The file appears under destinationPath only complete and verified;
// on failure nothing is left there (a file that was there before stays untouched) and
// errorText says why.
bool ExtractLevel(jnx::JnxDocument& doc, const jnx::EditorValues& window, const std::string& sourcePath,
                  const std::string& destinationPath, int level, bool changeVersion, int targetVersion,
                  const jnx::WriterSettings& settings, std::string& errorText,
                  jnx::BusyObserver* observer = nullptr);

// <base>_Level<n>.jnx in the split folder of that level ("$CURRENT" = the source's folder,
// matched without regard to case), or beside the source. Creates the folder when missing.
std::string LevelFilePath(const std::string& sourcePath, int level, const std::array<std::string, 5>& levelDirs);

}  // namespace compose
