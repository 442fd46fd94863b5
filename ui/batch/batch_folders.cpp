#include "ui/batch/batch_folders.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/fs.h"

namespace batchui {

namespace {

// Mount points write space, tab, newline and backslash as octal escapes.
std::string UnescapeMount(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool UnderPrefix(const std::string& path, const std::string& prefix) {
    if (prefix == "/") return !path.empty() && path[0] == '/';
    return path == prefix || (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                              path[prefix.size()] == '/');
}

}  // namespace

std::vector<std::string> DrivesFromMounts(const std::string& mountsText) {
    static const std::set<std::string> kPseudo{
        "proc",     "sysfs",    "devpts",   "cgroup",   "cgroup2",  "mqueue",      "securityfs",
        "debugfs",  "tracefs",  "pstore",   "bpf",      "configfs", "fusectl",     "hugetlbfs",
        "autofs",   "binfmt_misc", "efivarfs", "selinuxfs", "nsfs", "devtmpfs", "rpc_pipefs"};
    std::set<std::string> drives{"/"};
    std::istringstream in(mountsText);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, point, type;
        if (!(fields >> device >> point >> type)) continue;
        if (kPseudo.count(type)) continue;
        point = UnescapeMount(point);
        if (point.empty() || point[0] != '/') continue;
        if (UnderPrefix(point, "/proc") || UnderPrefix(point, "/sys") || UnderPrefix(point, "/dev")) continue;
        drives.insert(point);
    }
    return {drives.begin(), drives.end()};
}

std::vector<std::string> SystemDrives() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    if (in) text << in.rdbuf();
    std::vector<std::string> drives = DrivesFromMounts(text.str());
    drives.erase(std::remove_if(drives.begin(), drives.end(),
                                [](const std::string& d) { return !platform::FolderExists(d); }),
                 drives.end());
    if (drives.empty()) drives.push_back("/");
    return drives;
}

std::string DriveOf(const std::vector<std::string>& drives, const std::string& folder) {
    std::string best = "/";
    for (const auto& d : drives)
        if (UnderPrefix(folder, d) && d.size() > best.size()) best = d;
    return best;
}

std::string CleanFolderPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec) p = path;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s.empty() ? std::string("/") : s;
}

bool BuildFolderList(const std::string& drive, const std::string& folder, std::vector<FolderListEntry>& entries) {
    entries.clear();
    std::vector<platform::FolderEntry> listing;
    platform::Error error;
    if (!platform::ListFolder(folder, listing, error)) return false;

    // The way down: the drive, then every folder between it and the current one.
    std::vector<std::string> chain{folder};
    for (std::string p = folder; p != drive && p != "/" && !p.empty();) {
        p = platform::ParentFolder(p);
        if (p.empty()) break;
        chain.push_back(p);
        if (p == drive) break;
    }
    std::reverse(chain.begin(), chain.end());
    int depth = 0;
    for (const auto& p : chain) {
        FolderListEntry e;
        e.path = p;
        e.name = depth == 0 ? p : platform::FileNameOf(p);
        e.depth = depth++;
        e.current = p == folder;
        entries.push_back(e);
    }
    for (const auto& item : listing) {
        if (!item.isFolder) continue;
        FolderListEntry e;
        e.path = item.path;
        e.name = platform::FileNameOf(item.path);
        e.depth = depth;
        e.subfolder = true;
        entries.push_back(e);
    }
    return true;
}

}  // namespace batchui
