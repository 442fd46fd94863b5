#include "settings/scale_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace settings {
namespace {

// clang-format off
constexpr DeviceProfile kProfiles[] = {
    {"classic", "most units: eTrex, GPSMAP 62/64/66/78, Oregon, Montana, Colorado, Dakota",
     1.0, 250, 100,
     "factor: the producers' calibration, inferred, not measured; 250 maps per device: the maker's support "
     "pages and user reports; 100 images: the maker's Custom Maps pages for most units"},
    {"classic-pre2011", "units on firmware from before 2011",
     1.0, 200, 100,
     "200 maps: user reports from the first BirdsEye years, not verified; otherwise as classic"},
    {"gpsmap64", "GPSMAP 64, Oregon 6xx, Montana 6xx",
     1.0, 250, 500,
     "500 images: the maker's Custom Maps pages for these families; otherwise as classic"},
    {"monterra", "Monterra",
     1.0, 250, 99,
     "99 images: the maker's Custom Maps pages; otherwise as classic"},
    {"gpsmap67", "GPSMAP 67, GPSMAP 67i",
     3.5, 250, 100,
     "factor 3.5: an empirical factor one public producer applies to every level for these units, not "
     "measured here; 100 images: not published for these units, the common figure"},
    {"garmin", "the maker's own BirdsEye imagery on any unit",
     8.0, 250, 100,
     "factor 8: the values the maker's own files carry for imagery of a given resolution; detail shows "
     "earlier and more tiles are drawn; otherwise as classic"},
    {"custom", "units whose threshold factor you have measured or choose",
     1.0, 250, 100,
     "factor: yours, [Device] Factor in the settings or --factor, from 0.1 to 100 (1 when not set); "
     "otherwise as classic", true},
};
// clang-format on

}  // namespace

double GroundMetresPerPixel(double lonDegreesPerPixel, double latitudeDegrees) {
    return lonDegreesPerPixel * kMetresPerDegree * std::cos(latitudeDegrees * M_PI / 180.0);
}

std::int32_t NativeScale(double groundMetresPerPixel, double factor) {
    const double scale = factor * kScalePerGroundMetre * groundMetresPerPixel;
    if (!(scale >= 1.0)) return 1;
    if (scale >= double(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::lround(scale));
}

double ScreenMetresPerPixel(std::int32_t standardScale) {
    return double(std::max<std::int32_t>(standardScale, 1)) / kScalePerGroundMetre;
}

std::span<const DeviceProfile> DeviceProfiles() { return kProfiles; }

const DeviceProfile& DefaultDeviceProfile() { return kProfiles[0]; }

const DeviceProfile* FindDeviceProfile(std::string_view name) {
    for (const DeviceProfile& profile : kProfiles) {
        const std::string_view own = profile.name;
        if (own.size() == name.size() && std::equal(own.begin(), own.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return &profile;
    }
    return nullptr;
}

std::optional<double> ParseDeviceFactor(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || stop != end || !(value >= kMinDeviceFactor && value <= kMaxDeviceFactor))
        return std::nullopt;
    return value;
}

std::string DeviceFactorText(double factor) {
    char text[32];
    const auto [end, failure] = std::to_chars(text, text + sizeof text, factor);
    return failure == std::errc() ? std::string(text, end) : std::string("1");
}

double StoredDeviceFactor(const Settings& settings) {
    return ParseDeviceFactor(settings.ReadSetting("Device", "Factor")).value_or(1.0);
}

std::optional<DeviceProfile> DeviceProfileInUse(const Settings& settings) {
    const std::string name = settings.ReadSetting("Device", "Profile");
    const DeviceProfile* found = name.empty() ? &DefaultDeviceProfile() : FindDeviceProfile(name);
    if (found == nullptr) return std::nullopt;
    DeviceProfile profile = *found;
    if (profile.custom) profile.factor = StoredDeviceFactor(settings);
    return profile;
}

DeviceProfile DeviceProfileOrDefault(const Settings& settings) {
    return DeviceProfileInUse(settings).value_or(DefaultDeviceProfile());
}

platform::Error StoreDeviceProfile(const Settings& settings, const DeviceProfile& profile) {
    if (platform::Error error = settings.WriteSetting("Device", "Profile", profile.name)) return error;
    return profile.custom ? settings.WriteSetting("Device", "Factor", DeviceFactorText(profile.factor))
                          : platform::Error();
}

}  // namespace settings
