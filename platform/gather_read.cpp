#include "platform/gather_read.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Heads closer than this are fetched by one read: copying the bytes between them costs
// less than another system call (tens of kilobytes from the page cache take about as long
// as one call), and a disk reads that far ahead anyway.
constexpr std::int64_t kJoinGap = 32 * 1024;
// The longest run fetched by one read, which bounds the buffer.
constexpr std::int64_t kLongestRun = 256 * 1024;

// The end of the run that starts at offsets[first]: the following offsets that lie close
// behind it, up to kLongestRun bytes from its start.
std::size_t RunEnd(const std::vector<std::int64_t>& offsets, std::size_t first, std::size_t width,
                   std::int64_t fileLength, std::int64_t& runLength) {
    const std::int64_t start = offsets[first];
    std::int64_t end = start + std::int64_t(width);
    std::size_t next = first + 1;
    for (; next < offsets.size(); ++next) {
        const std::int64_t pos = offsets[next];
        if (pos < start || pos > end + kJoinGap || pos + std::int64_t(width) > start + kLongestRun ||
            pos + std::int64_t(width) > fileLength)
            break;
        end = std::max(end, pos + std::int64_t(width));
    }
    runLength = end - start;
    return next;
}

}  // namespace

bool GatherReads(const BinaryFile& file, std::int64_t fileLength, const std::vector<std::int64_t>& offsets,
                 std::size_t width, std::uint8_t* out, Error& error) {
    std::vector<std::uint8_t> run;
    for (std::size_t i = 0; i < offsets.size();) {
        const std::int64_t start = offsets[i];
        if (start < 0 || start > fileLength || std::int64_t(width) > fileLength - start)
            return Fail(error, Error(ErrorCode::ReadPastEnd).File(file.Path()));
        std::int64_t runLength = 0;
        const std::size_t end = RunEnd(offsets, i, width, fileLength, runLength);
        if (end == i + 1) {
            if (!file.ReadAt(start, out + i * width, width, error)) return false;
        } else {
            run.resize(std::size_t(runLength));
            if (!file.ReadAt(start, run.data(), run.size(), error)) return false;
            for (std::size_t k = i; k < end; ++k)
                std::memcpy(out + k * width, run.data() + (offsets[k] - start), width);
        }
        i = end;
    }
    return true;
}

bool ReadAhead::Get(std::int64_t offset, std::size_t length, const std::uint8_t*& bytes, Error& error) {
    if (offset < 0 || offset > fileLength_ || std::int64_t(length) > fileLength_ - offset)
        return Fail(error, Error(ErrorCode::ReadPastEnd).File(file_.Path()));
    if (offset < start_ || offset + std::int64_t(length) > start_ + std::int64_t(buffer_.size())) {
        const std::int64_t want = std::max(std::int64_t(length), std::min(chunk_, fileLength_ - offset));
        buffer_.resize(std::size_t(want));
        start_ = offset;
        if (!file_.ReadAt(offset, buffer_.data(), buffer_.size(), error)) {
            buffer_.clear();
            return false;
        }
    }
    bytes = buffer_.data() + (offset - start_);
    return true;
}

}  // namespace platform
