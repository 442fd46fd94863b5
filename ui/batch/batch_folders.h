// The "drives" and folders the batch window navigates: on this platform a drive is a
// mount point (or the root alone), and a folder list shows the way down from the drive
// to the current folder followed by the current folder's subfolders.
#pragma once
#include <string>
#include <vector>

namespace batchui {

// Mount points from a /proc/self/mounts text, without the kernel's pseudo file systems,
// sorted, "/" always among them.
std::vector<std::string> DrivesFromMounts(const std::string& mountsText);
// The mount points of the running system.
std::vector<std::string> SystemDrives();
// The longest drive that holds folder ("/" when none does).
std::string DriveOf(const std::vector<std::string>& drives, const std::string& folder);

struct FolderListEntry {
    std::string path;
    std::string name;  // shown text
    int depth = 0;     // indentation
    bool current = false;
    bool subfolder = false;
};
// The folder list for folder on drive; false when folder cannot be listed.
bool BuildFolderList(const std::string& drive, const std::string& folder, std::vector<FolderListEntry>& entries);

// An absolute path without "." and ".." parts or a trailing separator.
std::string CleanFolderPath(const std::string& path);

}  // namespace batchui
