// ModifJNX: applies the edit values to the file held in the document by patching it in
// place (product ID, draw order, level scales, group name, zoom numbers), then checks
// the file against the reader's check points. On any failure the patched bytes are put
// back, so the file is as it was.
#pragma once
#include <string>

#include "jnx/document.h"
#include "edit/editor_values.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"

namespace jnx {

inline constexpr const char* kErrModifTiles = "ModifJNX::CheckPointsTiles error.";
inline constexpr const char* kErrModifImages = "ModifJNX::CheckPointsImages error.";

// Precondition: doc holds a full read of path, NeedsRegeneration is false, and
// Header.DrawOrder holds the draw order to write.
bool ModifJNX(JnxDocument& doc, const EditorValues& window, const std::string& path, const WriterSettings& settings,
              std::string& errorText, BusyObserver* observer = nullptr);

}  // namespace jnx
