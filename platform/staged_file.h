// A new file written under a temporary name beside its final name and published by one
// rename once it is complete and verified; dropped without publishing, it is removed.
#pragma once
#include <string>

#include "platform/binary_file.h"

namespace jnx {

class StagedFile {
public:
    explicit StagedFile(std::string finalPath) : finalPath_(std::move(finalPath)) {}
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool Create(std::string& error);
    platform::BinaryFile& File() { return file_; }
    // Closes and renames over the final path (replacing a file there).
    bool Publish(std::string& error);

private:
    std::string finalPath_;
    std::string tempPath_;
    platform::BinaryFile file_;
    bool published_ = false;
};

}  // namespace jnx
