// RegenerateJnx: writes a complete new file (version 3 or 4) from the document and its
// source: header, level table, a 1024-byte map block, tile tables with moved offsets,
// the signature, then the tile data and trailer copied byte for byte. The file appears
// under destPath only complete and verified; the source is never changed.
#pragma once
#include <string>

#include "jnx/document.h"
#include "edit/editor_values.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"

namespace jnx {

inline constexpr const char* kErrFilelen = "Filelen";
inline constexpr const char* kErrOffsetCheck = "OffsetCheck";
inline constexpr const char* kErrOffsetCheck2 = "OffsetCheck2";

bool RegenerateJnx(JnxDocument& doc, const EditorValues& window, const std::string& sourcePath,
                   const std::string& destPath, bool changeVersion, int targetVersion,
                   const WriterSettings& settings, std::string& errorText, BusyObserver* observer = nullptr);

}  // namespace jnx
