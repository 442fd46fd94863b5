// Whether maps will work on the device: each map named, or each JNX file of a folder
// named, read in full and judged. Never writes.
#pragma once
#include <string>
#include <vector>

#include <optional>

#include "check/device_check.h"
#include "check/device_roots.h"
#include "check/folder_check.h"
#include "settings/scale_model.h"
#include "settings/settings.h"

namespace operations {

struct CheckOutcome {
    // One report per map, in the order met; a folder that could not be listed stands where
    // an unreadable map would, so a report has one shape and says the check is incomplete.
    std::vector<check::MapReport> maps;
    std::vector<check::FolderReport> folders;
    // With device roots: the device as a whole; its maps are among maps as well.
    std::optional<check::DeviceRootsReport> device;
    platform::Error deviceError;  // a root that could not be listed

    bool Ok() const;  // every map read and free of errors, every root listed
};

// zoomRows, where given, name the row of a repeated scale and let levels be judged
// against their imagery under the profile's threshold factor. deviceRoots, the mount
// points of one device's memory and card, are judged together against the profile.
CheckOutcome CheckMaps(const std::vector<std::string>& paths, bool deep, bool recursive,
                       const std::vector<settings::ZoomLevelEntry>* zoomRows = nullptr,
                       const settings::DeviceProfile& profile = settings::DefaultDeviceProfile(),
                       const std::vector<std::string>& deviceRoots = {});

}  // namespace operations
