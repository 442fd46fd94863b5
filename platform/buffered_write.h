// Bytes appended at a running place in a file, gathered into large writes: one write per
// tile costs more in system calls than the work that makes the tile.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/binary_file.h"
#include "platform/error.h"

namespace platform {

// What a writer gathers before it writes: little enough to stay in a core's cache from
// being filled to being copied to the system. Gathering 4 MiB made fit a fifth slower.
inline constexpr std::size_t kWriteChunk = std::size_t(1) << 20;

class BufferedWrite {
public:
    // chunk: the most gathered before a write; a larger append is written as it is.
    BufferedWrite(BinaryFile& file, std::int64_t at, std::size_t chunk) : file_(&file), written_(at), chunk_(chunk) {}

    bool Append(const std::uint8_t* data, std::size_t size, Error& error) {
        if (buffer_.size() + size > chunk_ && !Flush(error)) return false;
        if (size <= chunk_) {
            buffer_.insert(buffer_.end(), data, data + size);
            return true;
        }
        if (!file_->WriteAt(written_, data, size, error)) return false;
        written_ += std::int64_t(size);
        return true;
    }
    bool Flush(Error& error) {
        if (!buffer_.empty() && !file_->WriteAt(written_, buffer_.data(), buffer_.size(), error)) return false;
        written_ += std::int64_t(buffer_.size());
        buffer_.clear();
        return true;
    }
    // Where the next byte appended goes.
    std::int64_t End() const { return written_ + std::int64_t(buffer_.size()); }

private:
    BinaryFile* file_;
    std::int64_t written_;
    std::size_t chunk_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace platform
