// Whether maps will work on the device: each map named, or each JNX file of a folder
// named, read in full and judged. Never writes.
#pragma once
#include <string>
#include <vector>

#include "check/device_check.h"
#include "check/folder_check.h"
#include "settings/settings.h"

namespace operations {

struct CheckOutcome {
    // One report per map, in the order met; a folder that could not be listed stands where
    // an unreadable map would, so a report has one shape and says the check is incomplete.
    std::vector<check::MapReport> maps;
    std::vector<check::FolderReport> folders;

    bool Ok() const;  // every map read and free of errors
};

// zoomRows, where given, name the row of a repeated scale.
CheckOutcome CheckMaps(const std::vector<std::string>& paths, bool deep, bool recursive,
                       const std::vector<settings::ZoomLevelEntry>* zoomRows = nullptr);

}  // namespace operations
