#include "platform/new_file.h"

#include "platform/fs.h"

namespace platform {

NewFile::~NewFile() {
    file_.Close();
    if (!published_ && !tempPath_.empty()) DeleteFile(tempPath_);
}

bool NewFile::Create(Error& error) {
    std::string folder = ParentFolder(finalPath_);
    if (folder.empty()) folder = ".";
    tempPath_ = TemporaryPathIn(folder, "." + FileNameOf(finalPath_));
    return file_.Open(tempPath_, BinaryFile::Mode::CreateTruncate, error);
}

bool NewFile::Check(Error& error, const Verify& verify) {
    if (!file_.IsOpen()) return Fail(error, Error(ErrorCode::FileNotOpen).File(tempPath_));
    if (verify && !verify(file_, error)) return false;
    file_.Close();
    return true;
}

bool NewFile::Publish(Error& error, const Verify& verify) {
    if (!Check(error, verify) || !MoveFile(tempPath_, finalPath_, error)) return false;
    published_ = true;
    return true;
}

bool NewFile::PublishUnderFreeName(const std::function<std::string(int)>& nameFor, int attempts,
                                   std::string& published, Error& error, const Verify& verify) {
    if (!Check(error, verify)) return false;
    std::string folder = ParentFolder(finalPath_);
    if (folder.empty()) folder = ".";
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const std::string candidate = JoinPath(folder, nameFor(attempt));
        if (MoveFileNoReplace(tempPath_, candidate, error)) {
            published_ = true;
            published = candidate;
            return true;
        }
        if (!FileExists(candidate) && !FolderExists(candidate)) return false;
    }
    return Fail(error, Error(ErrorCode::AllNamesTaken).File(folder));
}

bool WriteNewFile(const std::string& path, const std::string& bytes, Error& error) {
    NewFile out(path);
    return out.Create(error) && out.File().WriteAt(0, bytes.data(), bytes.size(), error) && out.Publish(error);
}

}  // namespace platform
