// --device NAME (and --factor F for the custom profile), shared by the commands whose
// scales, ranges or limits depend on the family of units the maps are made for.
#pragma once
#include "cli/options.h"
#include "settings/scale_model.h"

namespace cli {

inline constexpr Option kDeviceOption{
    "--device", "NAME",
    "judge scales and limits for this family of units (see `tessaly-cli devices`); without it, "
    "the settings' [Device] Profile, else classic"};
inline constexpr Option kFactorOption{
    "--factor", "F",
    "the threshold factor of the custom profile, from 0.1 to 100 (default: the settings' [Device] Factor, else 1)"};

// The profile of --device (an unknown name is a usage error), else of the settings; a
// settings file naming no profile gives the default, with a note on stderr. --factor
// sets the custom profile's factor and is a usage error for any other profile.
settings::DeviceProfile DeviceProfileOf(const ParsedArgs& parsed, const settings::Settings& config);

// The same for a command that needs no settings file: a profile --device names is taken
// without reading one (unless factorFromSettings and it is the custom profile without
// --factor), and a default settings file that cannot be read gives the default profile.
settings::DeviceProfile DeviceProfileOrDefault(const ParsedArgs& parsed, bool factorFromSettings);

}  // namespace cli
