// The names a KMZ written here carries beyond plain KML, so that its import takes back
// what KML has no field for. A KMZ from elsewhere lacks them and is read without.
#pragma once

namespace convert::kmz {

inline constexpr const char* kDocument = "doc.kml";
// ExtendedData of a level's Folder.
inline constexpr const char* kScale = "tessaly:scale";
inline constexpr const char* kZoom = "tessaly:zoom";
// ExtendedData of the Document.
inline constexpr const char* kGroup = "tessaly:group";
inline constexpr const char* kTitle = "tessaly:title";
inline constexpr const char* kCopyright = "tessaly:copyright";

}  // namespace convert::kmz
