// ResolveEdit: the one place where an edit request becomes the numbers and bytes that a
// writer puts in a file, checked before any file is touched: the target version and
// draw order, each level's scale and zoom number, the product ID, the group name, and
// whether the file is patched in place or written anew (and under which name).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "edit/edit_request.h"
#include "jnx/document.h"
#include "jnx/write_values.h"
#include "jnx/writer_settings.h"
#include "platform/error.h"

namespace edit {

// What the request is for: only a save may patch in place; a merged file starts afresh.
enum class Purpose { Save, Split, Merge };

enum class Road { Patch, Rewrite };

struct ResolvedEdit {
    int version = 0;             // version of the file written
    bool changeVersion = false;  // differs from the source's
    jnx::WriteValues values;     // product ID, group bytes, draw order, scales, zooms
    Road road = Road::Patch;
    std::string outputPath;      // the file written: the source when patched or replaced
};

// The source's base name followed by "_new.jnx", beside it.
std::string NewFilePath(const std::string& sourcePath);

// The scale the request gives a level (0-based): its chosen row's, one below that when
// prioritised, else the stored one. Nothing when the priority step would fall off the end
// of the number range.
std::optional<std::int32_t> RequestedScale(const EditRequest& request, const jnx::JnxDocument& doc, std::size_t level);

// The request with each level's scale set to its native one (0-based, 0: resolution
// unknown, the level keeps its scale) and its priority dropped. Two levels whose scales
// would be equal cannot be told apart by the device: the finer one (on a tie, the later)
// is moved one below, so coarse levels keep the larger scales. Nothing to fit leaves the
// request as it is.
EditRequest WithFittedScales(const EditRequest& request, const jnx::JnxDocument& doc,
                             const std::vector<std::int32_t>& native);

// Resolves the request for one file read in full (or quickly, for Purpose::Merge).
bool ResolveEdit(const EditRequest& request, const jnx::JnxDocument& doc, const std::string& sourcePath,
                 const jnx::WriterSettings& settings, Purpose purpose, ResolvedEdit& out, platform::Error& error);

}  // namespace edit
