// The folders a check walks: the JNX files of each, and what the unit makes of that many.
#pragma once
#include <string>
#include <vector>

#include "check/findings.h"
#include "platform/error.h"

namespace check {

// The JNX files of one folder (extension matched without regard to case), in name order.
struct FolderReport {
    std::string folder;
    std::vector<std::string> jnxFiles;
    std::vector<Finding> findings;
};

// The folder and, when recursive, each subfolder (never one reached twice through links).
// False when folder itself cannot be listed; unlistable subfolders go to skipped.
bool ListJnxFolders(const std::string& folder, bool recursive, std::vector<FolderReport>& folders,
                    std::vector<std::string>& skipped, platform::Error& error);

}  // namespace check
