#include "cli/device_option.h"

#include <iostream>

namespace cli {

const settings::DeviceProfile& DeviceProfileOf(const ParsedArgs& parsed, const settings::Settings& config) {
    if (const auto name = parsed.Last("--device")) {
        if (const settings::DeviceProfile* profile = settings::FindDeviceProfile(*name)) return *profile;
        throw UsageError("no device profile is named \"" + *name + "\"; `tessaly-cli devices` lists them");
    }
    if (const settings::DeviceProfile* profile = settings::DeviceProfileInUse(config)) return *profile;
    const settings::DeviceProfile& fallback = settings::DefaultDeviceProfile();
    std::cerr << "tessaly-cli: the settings' [Device] Profile names no profile; using " << fallback.name << "\n";
    return fallback;
}

}  // namespace cli
