#include "check/folder_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "jnx/device_limits.h"
#include "platform/fs.h"

namespace check {

namespace device = jnx::device;
using platform::Error;

namespace {

bool IsJnxName(const std::string& path) {
    std::string ext = platform::ExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == "jnx";
}

bool ListOne(const std::string& folder, bool recursive, std::set<std::string>& visited,
             std::vector<FolderReport>& folders, std::vector<std::string>& skipped, Error& error) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolder(folder, entries, error)) return false;
    FolderReport report;
    report.folder = folder;
    for (const auto& entry : entries)
        if (!entry.isFolder && IsJnxName(entry.path)) report.jnxFiles.push_back(entry.path);
    const auto count = std::int64_t(report.jnxFiles.size());
    if (count > device::kMaxFiles) {
        Finding& f = report.findings.emplace_back();
        f.code = FindingCode::FolderOverLimit, f.a = count, f.b = device::kMaxFiles, f.c = device::kMaxFilesOldFirmware;
    }
    folders.push_back(std::move(report));
    if (!recursive) return true;
    for (const auto& entry : entries) {
        if (!entry.isFolder) continue;
        std::error_code ec;
        const std::string identity = std::filesystem::canonical(entry.path, ec).string();
        // A folder whose path the system cannot resolve (deeper than PATH_MAX) is not
        // looked at, and says so; one seen before is a loop of links, not a fault.
        if (ec) {
            skipped.push_back(entry.path);
            continue;
        }
        if (!visited.insert(identity).second) continue;
        Error subError;
        if (!ListOne(entry.path, recursive, visited, folders, skipped, subError)) skipped.push_back(entry.path);
    }
    return true;
}

}  // namespace

bool ListJnxFolders(const std::string& folder, bool recursive, std::vector<FolderReport>& folders,
                    std::vector<std::string>& skipped, Error& error) {
    std::set<std::string> visited;
    std::error_code ec;
    const std::string identity = std::filesystem::canonical(folder, ec).string();
    if (!ec) visited.insert(identity);
    if (!ListOne(folder, recursive, visited, folders, skipped, error)) {
        if (!error) error = Error(platform::ErrorCode::CannotReadFolder).File(folder);
        return false;
    }
    return true;
}

}  // namespace check
