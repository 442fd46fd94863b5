// The whole device at once: its internal memory and card, each mounted at a root. The
// unit loads maps and Custom Maps images up to a budget across all of them, and what
// one map file cannot show, several show together: the same product ID under two
// groups, one map GUID twice, overlapping maps the unit stacks in no set order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "check/findings.h"
#include "platform/error.h"
#include "settings/scale_model.h"

namespace check {

struct DeviceRootsReport {
    std::vector<std::string> maps;        // the JNX files of every root's Garmin/BirdsEye, root by root
    std::int64_t images = 0;              // JPEG images under Garmin/CustomMaps, loose or inside KMZ files
    std::vector<std::string> unreadable;  // files or folders that could not be read, so not counted
    std::vector<Finding> findings;        // about the device as a whole (level and tile 0)
};

// Folder names matched without regard to case, as the unit's file system does. A root
// without those folders adds nothing; false only when a root itself cannot be listed.
bool CheckDeviceRoots(const std::vector<std::string>& roots, const settings::DeviceProfile& profile,
                      DeviceRootsReport& report, platform::Error& error);

// JPEG members of a KMZ (ZIP) file, from its central directory; -1 when it is no ZIP
// file this can read.
std::int64_t CountKmzImages(const std::string& path);

}  // namespace check
