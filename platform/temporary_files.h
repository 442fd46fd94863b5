// Names of the files the program writes before it publishes them, and the clean-up of
// those a killed run left behind. A temporary is hidden, carries its final name's stem (so
// a user who finds one knows what it was for) and the program's mark (so it is never taken
// for a user's file), and always fits the file-name limit.
#pragma once
#include <string>

namespace platform {

// ".<stem>.tessaly-<random>.tmp" in the folder of finalPath, a name no file holds now.
std::string TemporaryPathFor(const std::string& finalPath);
// Whether a file name (no folder) has the form TemporaryPathFor gives.
bool IsTemporaryName(const std::string& name);

// Removes the program's temporaries in folder that are older than maxAgeSeconds and that
// no running writer holds locked. Best effort: a file that cannot be looked at stays.
void RemoveStaleTemporaries(const std::string& folder, long maxAgeSeconds);

// How long a temporary nobody holds may stay: longer than any write of a map takes.
inline constexpr long kStaleTemporaryAge = 6 * 3600;

}  // namespace platform
