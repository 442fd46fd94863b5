// The settings the writers need, read by the caller from the settings file.
#pragma once
#include <cstdint>

#include "platform/binary_file.h"
#include "platform/new_file.h"

namespace jnx {

struct WriterSettings {
    std::int64_t blockSize = platform::kDefaultBlockSize; // largest piece of tile data copied at once; always > 0
    // A file at a name the program chose for its output (NAME_new.jnx, NAME_Level2.jnx) may
    // be replaced: the user was asked, or said so (--overwrite). Without it such a file, or
    // a link there, refuses the write.
    bool overwrite = false;
};

// How the publish step treats a file already at a name the program chose.
inline platform::NewFile::Target ChosenNameTarget(const WriterSettings& settings) {
    return settings.overwrite ? platform::NewFile::Target::ChosenNameOverwrite : platform::NewFile::Target::ChosenName;
}

}  // namespace jnx
