#include "operations/check_maps.h"

#include <algorithm>

#include "platform/fs.h"

namespace operations {

namespace {

check::MapReport Unlisted(const std::string& folder, const platform::Error& error) {
    check::MapReport report;
    report.path = folder;
    report.error = error;
    return report;
}

}  // namespace

bool CheckOutcome::Ok() const {
    return !deviceError && std::all_of(maps.begin(), maps.end(), [](const check::MapReport& map) { return map.Ok(); });
}

CheckOutcome CheckMaps(const std::vector<std::string>& paths, bool deep, bool recursive,
                       const std::vector<settings::ZoomLevelEntry>* zoomRows, const settings::DeviceProfile& profile,
                       const std::vector<std::string>& deviceRoots) {
    CheckOutcome outcome;
    const double factor = profile.factor;
    if (!deviceRoots.empty()) {
        check::DeviceRootsReport device;
        if (check::CheckDeviceRoots(deviceRoots, profile, device, outcome.deviceError)) {
            for (const auto& map : device.maps)
                outcome.maps.push_back(check::CheckMapFile(map, deep, zoomRows, factor));
            outcome.device = std::move(device);
        }
    }
    for (const auto& path : paths) {
        if (!platform::FolderExists(path)) {
            outcome.maps.push_back(check::CheckMapFile(path, deep, zoomRows, factor));
            continue;
        }
        std::vector<check::FolderReport> folders;
        std::vector<std::string> skipped;
        platform::Error error;
        if (!check::ListJnxFolders(path, recursive, folders, skipped, error)) outcome.maps.push_back(Unlisted(path, error));
        for (const auto& folder : skipped)
            outcome.maps.push_back(Unlisted(folder, platform::Error(platform::ErrorCode::CannotReadFolder).File(folder)));
        for (auto& folder : folders) {
            for (const auto& file : folder.jnxFiles)
                outcome.maps.push_back(check::CheckMapFile(file, deep, zoomRows, factor));
            outcome.folders.push_back(std::move(folder));
        }
    }
    return outcome;
}

}  // namespace operations
