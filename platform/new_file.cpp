#include "platform/new_file.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file_lock.h"
#include "platform/fs.h"
#include "platform/sys_io.h"
#include "platform/temporary_files.h"

namespace platform {
namespace {

Error WithPath(Error error, const std::string& from, const std::string& to) {
    if (error.file == from) error.file = to;
    if (error.other == from) error.other = to;
    if (error.cause) error.cause = std::make_shared<const Error>(WithPath(*error.cause, from, to));
    return error;
}

// The file a symbolic link at path names, or path itself. A dangling link has no file to
// keep, so the link itself is replaced.
std::string LinkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

NewFile::~NewFile() {
    file_.Close();
    if (!published_ && !tempPath_.empty()) DeleteFile(tempPath_);
}

bool NewFile::Failed(Error& error) const {
    if (!tempPath_.empty()) error = WithPath(std::move(error), tempPath_, finalPath_);
    if (targetPath_ != finalPath_) error = WithPath(std::move(error), targetPath_, finalPath_);
    return false;
}

bool NewFile::MayReplaceTarget(Error& error) {
    struct stat st {};
    const bool follow = target_ == Target::MayReplace;
    replacing_ = (follow ? ::stat(targetPath_.c_str(), &st) : ::lstat(targetPath_.c_str(), &st)) == 0;
    if (!replacing_) return true;
    if (target_ == Target::ChosenName) return Fail(error, Error(ErrorCode::OutputExists).File(finalPath_));
    // A link, or a dangling one, at a name the program chose is replaced as an entry: there
    // is no file of the user's behind it to keep.
    if (S_ISLNK(st.st_mode)) {
        replacing_ = false;
        return true;
    }
    if (!S_ISREG(st.st_mode)) return Fail(error, Error(ErrorCode::NotRegularFile).File(finalPath_));
    // The very test an update in place makes, so both ways of saving refuse alike.
    BinaryFile probe;
    return probe.Open(targetPath_, BinaryFile::Mode::ReadWrite, error);
}

bool NewFile::TakeOverPermissions(Error& error) {
    struct stat st {};
    const bool follow = target_ == Target::MayReplace;
    if ((follow ? ::stat(targetPath_.c_str(), &st) : ::lstat(targetPath_.c_str(), &st)) != 0 || !S_ISREG(st.st_mode))
        return true;  // gone meanwhile: nothing to keep
    const int fd = file_.Descriptor();
    // Owner and group first: a change of owner clears the set-id bits the mode then restores.
    if (sys::Fchown(fd, st.st_uid, st.st_gid) != 0) sys::Fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    if (sys::Fchmod(fd, st.st_mode & 07777) != 0)
        return Fail(error, Error(ErrorCode::CannotWrite).Detail(std::strerror(errno)));
    return true;
}

bool NewFile::Create(Error& error) {
    targetPath_ = target_ == Target::MayReplace ? LinkTarget(finalPath_) : finalPath_;
    folder_ = ParentFolder(targetPath_);
    if (folder_.empty()) folder_ = ".";
    if (target_ != Target::FreeNameOnly && !MayReplaceTarget(error)) return Failed(error);

    RemoveStaleTemporaries(folder_, kStaleTemporaryAge);
    const std::string temp = TemporaryPathFor(targetPath_);
    // Until it takes the replaced file's permissions, the new one is the user's alone.
    if (!file_.Open(temp, BinaryFile::Mode::CreateNew, error, replacing_ ? 0600 : 0666))
        return Failed(error = Error(ErrorCode::FolderNotWritable).File(folder_).Detail(error.detail));
    tempPath_ = temp;
    // The lock tells a later run's clean-up that this temporary is still being written.
    ::flock(file_.Descriptor(), LOCK_EX | LOCK_NB);
    if (replacing_ && !TakeOverPermissions(error)) return Failed(error);
    return true;
}

bool NewFile::Check(Error& error, const Verify& verify, bool flush) {
    if (!file_.IsOpen()) return Fail(error, Error(ErrorCode::FileNotOpen).File(finalPath_));
    if (verify && !verify(file_, error)) return Failed(error);
    // A rename over an existing file must not reach the disk before the new data does, or
    // a crash could leave neither file whole. A new name replaces nothing, so its file is
    // left to the system as cp leaves it.
    if (flush && !file_.Sync(error)) return Failed(error);
    return true;
}

// The temporary stays open, and so locked, until it has its final name.
bool NewFile::Published() {
    published_ = true;
    file_.Close();
    return true;
}

bool NewFile::Publish(Error& error, const Verify& verify) {
    if (target_ == Target::ChosenName) {
        // Taken without replacing, so that a link planted since Create is refused too.
        if (!Check(error, verify, false)) return false;
        Error moveError;
        if (MoveFileNoReplace(tempPath_, targetPath_, moveError)) return Published();
        struct stat st {};
        if (::lstat(targetPath_.c_str(), &st) == 0) return Fail(error, Error(ErrorCode::OutputExists).File(finalPath_));
        return Fail(error, Error(ErrorCode::FolderNotWritable).File(folder_).Detail(moveError.detail));
    }
    if (!Check(error, verify, replacing_ || FileExists(targetPath_))) return false;
    // rename() replaces a link at the target as an entry; it never writes through it.
    if (sys::Rename(tempPath_.c_str(), targetPath_.c_str()) != 0)
        return Fail(error, Error(ErrorCode::FolderNotWritable).File(folder_).Detail(std::strerror(errno)));
    return Published();
}

bool NewFile::PublishUnderFreeName(const std::function<std::string(int)>& nameFor, int attempts,
                                   std::string& published, Error& error, const Verify& verify) {
    if (!Check(error, verify, false)) return false;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const std::string candidate = JoinPath(folder_, nameFor(attempt));
        Error moveError;
        if (MoveFileNoReplace(tempPath_, candidate, moveError)) {
            published = candidate;
            return Published();
        }
        if (!FileExists(candidate) && !FolderExists(candidate))
            return Fail(error, Error(ErrorCode::FolderNotWritable).File(folder_).Detail(moveError.detail));
    }
    return Fail(error, Error(ErrorCode::AllNamesTaken).File(folder_));
}

bool PublishParts(const std::vector<NewFile*>& parts, const std::function<std::vector<std::string>()>& earlier,
                  bool overwrite, Error& error, const std::function<bool()>& stop, const VerifyPart& verify) {
    if (parts.empty()) return true;
    const std::string folder = ParentFolder(parts.front()->FinalPath());
    FileLock setLock;
    if (!setLock.Acquire(folder.empty() ? "." : folder, kWriterPatience, error, stop)) return false;
    std::vector<std::string> older = earlier();
    std::erase_if(older, [&](const std::string& old) {
        return std::any_of(parts.begin(), parts.end(), [&](const NewFile* part) { return part->FinalPath() == old; });
    });
    if (!older.empty() && !overwrite) return Fail(error, Error(ErrorCode::OutputExists).File(older.front()));
    for (std::size_t f = 0; f < parts.size(); ++f) {
        const auto check = [&](BinaryFile& file, Error& e) { return !verify || verify(f, file, e); };
        if (parts[f]->Publish(error, check)) continue;
        for (std::size_t done = 0; done < f; ++done) DeleteFile(parts[done]->FinalPath());
        return false;
    }
    for (const std::string& old : older) DeleteFile(old);
    return true;
}

bool WriteNewFile(const std::string& path, const std::string& bytes, Error& error) {
    NewFile out(path);
    return out.Create(error) && out.File().WriteAt(0, bytes.data(), bytes.size(), error) && out.Publish(error);
}

}  // namespace platform
