#include "platform/staged_file.h"

#include "platform/fs.h"

namespace jnx {

StagedFile::~StagedFile() {
    file_.Close();
    if (!published_ && !tempPath_.empty()) platform::DeleteFile(tempPath_);
}

bool StagedFile::Create(std::string& error) {
    std::string folder = platform::ParentFolder(finalPath_);
    if (folder.empty()) folder = ".";
    tempPath_ = platform::TemporaryPathIn(folder, "." + platform::FileNameOf(finalPath_));
    return file_.Open(tempPath_, platform::BinaryFile::Mode::CreateTruncate, error);
}

bool StagedFile::Publish(std::string& error) {
    file_.Close();
    if (!platform::MoveFile(tempPath_, finalPath_, error)) return false;
    published_ = true;
    return true;
}

}  // namespace jnx
