// The one publish step for every new file the program writes: the file is written
// under a temporary name in its target folder, checked, and only then renamed to its
// final name; dropped without publishing (any failure on the way), it is removed. So a
// final name only ever shows a complete, verified file, and a file it replaces stays whole
// until the very rename.
#pragma once
#include <functional>
#include <string>

#include "platform/binary_file.h"
#include "platform/error.h"

namespace platform {

class NewFile {
public:
    // finalPath: where the file appears; the temporary file goes into its folder.
    explicit NewFile(std::string finalPath) : finalPath_(std::move(finalPath)) {}
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool Create(Error& error);
    BinaryFile& File() { return file_; }
    const std::string& TemporaryPath() const { return tempPath_; }

    // A check of the complete file, run before it is published.
    using Verify = std::function<bool(BinaryFile& file, Error& error)>;

    // Checks the file, closes it and renames it over the final path. A file already there
    // is replaced, after the new data is flushed, so that a crash leaves one of them whole.
    bool Publish(Error& error, const Verify& verify = {});
    // The same, but under the first name nameFor(1), nameFor(2), ... (in the final path's
    // folder) that no file holds; never replaces a file. published is the name taken.
    bool PublishUnderFreeName(const std::function<std::string(int attempt)>& nameFor, int attempts,
                              std::string& published, Error& error, const Verify& verify = {});

private:
    bool Check(Error& error, const Verify& verify);

    std::string finalPath_;
    std::string tempPath_;
    BinaryFile file_;
    bool published_ = false;
};

// Writes bytes as a new file through the publish step (settings, small files).
bool WriteNewFile(const std::string& path, const std::string& bytes, Error& error);

}  // namespace platform
