// The one account of what a level's Scale means on the device, used by the map view, the
// level ranges, the importer, fit and the check alike, and the device families whose
// thresholds differ.
//
// The device draws, at a zoom row of standard scale T, the level with the smallest Scale
// still at least f × T (f the family's threshold factor; level_ranges.h). Its screen at
// that row shows T / kScalePerGroundMetre ground metres per pixel. So a level whose Scale
// is f × kScalePerGroundMetre × m (m its ground metres per pixel at its middle latitude),
// its native scale, first shows where its pixels are drawn at one to two screen pixels.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace settings {

// Scale per ground metre of a level pixel, about 198.12. Inferred, not measured: it is the
// calibration the producers of web-map imports use (a zoom-z level at latitude φ gets
// 34115555 / 2^z · cos φ / 1.1, which is this times the 156543.034 · cos φ / 2^z metres of
// a 256-pixel web tile's pixel, kept exact so that imports keep their scales), the one
// the shipped zoom table follows, and a major producer moved to it from the maker's own
// convention (8× larger) because levels showed too early. A GPS viewer's level picker and
// the vector maps' zoom bands land within a factor of two of it. A measured value
// replaces it here and nowhere else.
inline constexpr double kScalePerGroundMetre = 34115555.0 / 1.1 / (40075016.686 / 256.0);
// Ground metres per degree of longitude on the equator (WGS 84).
inline constexpr double kMetresPerDegree = 40075016.686 / 360.0;

// Ground metres per pixel of a picture whose pixels span lonDegreesPerPixel of longitude,
// at latitudeDegrees.
double GroundMetresPerPixel(double lonDegreesPerPixel, double latitudeDegrees);
// f × 198.12 × m, rounded, kept within 1 .. INT32_MAX.
std::int32_t NativeScale(double groundMetresPerPixel, double factor = 1.0);
// Ground metres per screen pixel the device shows at a row of this standard scale,
// whatever the family: the families move thresholds, not the screen.
double ScreenMetresPerPixel(std::int32_t standardScale);

// A family of units. Where a figure comes from and how sure it is travels with it, so the
// guide and `tessaly-cli devices` say the same.
struct DeviceProfile {
    const char* name;    // what --device and [Device] Profile take
    const char* units;   // the units it stands for
    double factor;       // threshold factor f
    int maxMaps;         // JNX files per device, internal memory and card together
    int maxImages;       // Custom Maps JPEG images per device
    const char* source;  // where the figures come from, and how sure they are
    bool custom = false;  // its factor is the user's: [Device] Factor, or --factor
};

// The bounds of a custom factor: a tenth of the classic thresholds to a hundred times them.
inline constexpr double kMinDeviceFactor = 0.1;
inline constexpr double kMaxDeviceFactor = 100.0;
// A factor as typed or stored ("2.5"; a point, whatever the locale); nothing for text that
// is not a number within the bounds.
std::optional<double> ParseDeviceFactor(std::string_view text);
// The shortest text that reads back as factor.
std::string DeviceFactorText(double factor);

std::span<const DeviceProfile> DeviceProfiles();
const DeviceProfile& DefaultDeviceProfile();
// Matched without regard to case; null for a name no profile has.
const DeviceProfile* FindDeviceProfile(std::string_view name);
// [Device] Factor, the custom profile's factor; 1 when the key is absent or malformed.
double StoredDeviceFactor(const Settings& settings);
// The profile [Device] Profile names (custom with the stored factor): the default when
// the key is absent, nothing when it names no profile.
std::optional<DeviceProfile> DeviceProfileInUse(const Settings& settings);
// The same, with the default for a name no profile has: for windows, which show the
// profile they use rather than refuse to open.
DeviceProfile DeviceProfileOrDefault(const Settings& settings);
// Writes [Device] Profile, and [Device] Factor for the custom profile.
platform::Error StoreDeviceProfile(const Settings& settings, const DeviceProfile& profile);

}  // namespace settings
