#include "cli/device_option.h"

#include <iostream>

namespace cli {

settings::DeviceProfile DeviceProfileOf(const ParsedArgs& parsed, const settings::Settings& config) {
    std::optional<double> factor;
    if (const auto text = parsed.Last("--factor")) {
        factor = settings::ParseDeviceFactor(*text);
        if (!factor) throw UsageError("--factor " + *text + ": a number from 0.1 to 100");
    }
    settings::DeviceProfile profile = settings::DefaultDeviceProfile();
    if (const auto name = parsed.Last("--device")) {
        const settings::DeviceProfile* named = settings::FindDeviceProfile(*name);
        if (named == nullptr)
            throw UsageError("no device profile is named \"" + *name + "\"; `tessaly-cli devices` lists them");
        profile = *named;
        if (profile.custom) profile.factor = settings::StoredDeviceFactor(config);
    } else if (const auto inUse = settings::DeviceProfileInUse(config)) {
        profile = *inUse;
    } else {
        std::cerr << "tessaly-cli: the settings' [Device] Profile names no profile; using " << profile.name << "\n";
    }
    if (factor) {
        if (!profile.custom) throw UsageError("--factor sets the factor of the custom profile: add --device custom");
        profile.factor = *factor;
    }
    return profile;
}

settings::DeviceProfile DeviceProfileOrDefault(const ParsedArgs& parsed, bool factorFromSettings) {
    const auto named = parsed.Last("--device");
    const settings::DeviceProfile* profile = named ? settings::FindDeviceProfile(*named) : nullptr;
    if (named && !(factorFromSettings && profile && profile->custom && !parsed.Has("--factor")))
        return DeviceProfileOf(parsed, settings::Settings(""));
    try {
        return DeviceProfileOf(parsed, LoadSettings(parsed));
    } catch (const UsageError&) {
        throw;
    } catch (const std::runtime_error&) {
        return settings::DefaultDeviceProfile();
    }
}

}  // namespace cli
