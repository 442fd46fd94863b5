// tessaly-cli devices: the families of units the scales, ranges and limits can be made for.
#include <iostream>
#include <optional>
#include <string_view>

#include "cli/commands.h"
#include "cli/device_option.h"
#include "cli/json.h"
#include "cli/options.h"

namespace cli {

namespace {

int Run(const ParsedArgs& parsed) {
    const settings::Settings config = LoadSettings(parsed);
    const std::optional<settings::DeviceProfile> inUse = settings::DeviceProfileInUse(config);
    const double customFactor = settings::StoredDeviceFactor(config);
    const auto used = [&](const settings::DeviceProfile& profile) {
        return inUse && std::string_view(inUse->name) == profile.name;
    };
    if (parsed.Has("--json")) {
        JsonWriter json;
        json.BeginArray();
        for (const settings::DeviceProfile& profile : settings::DeviceProfiles()) {
            json.BeginObject();
            json.Key("name").String(profile.name);
            json.Key("units").String(profile.units);
            json.Key("factor").Double(profile.custom ? customFactor : profile.factor);
            json.Key("max_maps").Int(profile.maxMaps);
            json.Key("max_images").Int(profile.maxImages);
            json.Key("source").String(profile.source);
            json.Key("in_use").Bool(used(profile));
            json.EndObject();
        }
        json.EndArray();
        std::cout << json.Text() << "\n";
        return kExitOk;
    }
    for (const settings::DeviceProfile& profile : settings::DeviceProfiles()) {
        std::cout << profile.name << (used(profile) ? " (in use)" : "") << ": " << profile.units << "\n"
                  << "  threshold factor " << (profile.custom ? customFactor : profile.factor) << ", "
                  << profile.maxMaps << " maps per device, " << profile.maxImages << " Custom Maps images\n"
                  << "  source: " << profile.source << "\n";
    }
    return kExitOk;
}

}  // namespace

extern const Command kDevicesCommand{
    "devices", "", 0, 0,
    "List the families of units (device profiles): the threshold factor by which a level's scale is judged against "
    "each zoom row, the maps a device loads and the Custom Maps images it shows, with where each figure comes from. "
    "The one in use is the settings' [Device] Profile; the custom profile's factor is the settings' [Device] Factor.",
    {
        {"--json", nullptr, "print one JSON array with an object per profile"},
        kSettingsOption,
    },
    Run,
};

}  // namespace cli
