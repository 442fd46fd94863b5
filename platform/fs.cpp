#include "platform/fs.h"

#include "platform/binary_file.h"
#include "platform/sys_io.h"
#include "platform/temporary_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::string& text) { return fs::path(text); }

std::string ErrnoText(int code) { return std::generic_category().message(code); }

// Drops trailing separators so "a/b/" names the same thing as "a/b"; a root stays a root.
std::string WithoutTrailingSeparators(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

bool FileExists(const std::string& path) {
    std::error_code ec;
    const auto st = fs::status(PathOf(path), ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool FolderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(PathOf(path), ec);
}

bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool DeleteFile(const std::string& path) {
    std::error_code ec;
    const fs::path p = PathOf(path);
    const auto st = fs::symlink_status(p, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st)) return false;
    if (!fs::is_symlink(st)) {
        // A read-only file is made writable first, so that "forced" means the same on
        // every file system that honours the owner's write bit for removal.
        fs::permissions(p, fs::perms::owner_write, fs::perm_options::add, ec);
    }
    return fs::remove(p, ec) && !ec;
}

// A rename over an existing file must not reach the disk before the new data does, or a
// crash could leave neither file whole. A new name replaces nothing, so its file is left
// to the system as cp leaves it.
static bool FlushBeforeReplacing(const std::string& from, const std::string& to, Error& error) {
    return !FileExists(to) || SyncFile(from, error);
}

bool MoveFileNoReplace(const std::string& from, const std::string& to, Error& error) {
    if (sys::RenameNoReplace(from.c_str(), to.c_str()) == 0) return true;
    int code = errno;
    if (code == EINVAL || code == ENOSYS || code == ENOTSUP) {
        // File systems without the flag: a hard link fails on an existing target just as well.
        if (sys::Link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) return true;
            code = errno;
            ::unlink(to.c_str());
        } else {
            code = errno;
        }
    }
    error = Error(ErrorCode::CannotMove).File(from).Other(to).Detail(ErrnoText(code));
    return false;
}

bool CopyFile(const std::string& from, const std::string& to, Error& error) {
    const std::string temp = TemporaryPathFor(to);
    std::error_code ec;
    if (!fs::copy_file(PathOf(from), PathOf(temp), fs::copy_options::none, ec) || ec) {
        error = Error(ErrorCode::CannotCopy).File(from).Other(to).Detail(ec.message());
        DeleteFile(temp);
        return false;
    }
    if (!FlushBeforeReplacing(temp, to, error)) {
        DeleteFile(temp);
        return false;
    }
    if (sys::Rename(temp.c_str(), to.c_str()) != 0) {
        error = Error(ErrorCode::CannotCopy).File(from).Other(to).Detail(ErrnoText(errno));
        DeleteFile(temp);
        return false;
    }
    return true;
}

std::string ParentFolder(const std::string& path) {
    const std::string p = WithoutTrailingSeparators(path);
    const auto cut = p.find_last_of('/');
    if (cut == std::string::npos) return {};
    if (p == "/") return {};
    if (cut == 0) return "/";
    return WithoutTrailingSeparators(p.substr(0, cut));
}

std::string FileNameOf(const std::string& path) {
    const std::string p = WithoutTrailingSeparators(path);
    if (p == "/") return {};
    const auto cut = p.find_last_of('/');
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string BaseNameOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string NormalizeSeparators(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

bool CanWriteInto(const std::string& folder, Error& error) {
    const std::string path = folder.empty() ? "." : folder;
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return true;
    error = Error(ErrorCode::FolderNotWritable).File(path).Detail(ErrnoText(errno));
    return false;
}

bool CreateFolderPath(const std::string& path, Error& error, std::vector<std::string>* created) {
    std::error_code ec;
    if (created) {
        created->clear();
        for (fs::path p = PathOf(path); !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
            created->insert(created->begin(), p.string());
            if (p == p.parent_path()) break;
        }
    }
    if (!path.empty()) {
        try {
            fs::create_directories(PathOf(path), ec);
        } catch (const std::exception&) {
            ec = std::make_error_code(std::errc::invalid_argument);
        }
    }
    if (FolderExists(path)) return true;
    error = Error(ErrorCode::CannotCreateFolder).File(path).Detail(ec ? ec.message() : std::string());
    return false;
}

void RemoveEmptyFolders(const std::vector<std::string>& folders) {
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) ::rmdir(it->c_str());
}

std::vector<std::string> NumberedFiles(const std::string& stem, const std::string& suffix, std::size_t minDigits) {
    const std::string prefix = FileNameOf(stem);
    const std::string folder = ParentFolder(stem);
    std::vector<FolderEntry> entries;
    Error ignored;
    std::vector<std::string> found;
    if (!ListFolder(folder.empty() ? "." : folder, entries, ignored)) return found;
    for (const FolderEntry& entry : entries) {
        const std::string name = FileNameOf(entry.path);
        if (name.size() < prefix.size() + minDigits + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            found.push_back(JoinPath(folder, name));
    }
    return found;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, Error& error) {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(PathOf(folder), fs::directory_options::none, ec);
    if (ec) {
        error = Error(ErrorCode::CannotReadFolder).File(folder).Detail(ec.message());
        return false;
    }
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        FolderEntry entry;
        entry.path = JoinPath(folder, it->path().filename().string());
        std::error_code typeError;
        entry.isSymlink = it->is_symlink(typeError);
        entry.isFolder = it->is_directory(typeError);
        entries.push_back(std::move(entry));
    }
    if (ec) {
        entries.clear();
        error = Error(ErrorCode::CannotReadFolder).File(folder).Detail(ec.message());
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return FileNameOf(a.path) < FileNameOf(b.path); });
    return true;
}

std::string ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty()) return exe.parent_path().string();
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

}  // namespace platform
