#include "platform/gather_read.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr std::int64_t kWindow = std::int64_t(16) << 20;

class Window {
public:
    ~Window() { Unmap(); }

    bool Covers(std::int64_t pos, std::size_t width) const {
        return data_ && pos >= base_ && pos + std::int64_t(width) <= base_ + length_;
    }
    const std::uint8_t* At(std::int64_t pos) const { return data_ + (pos - base_); }

    bool Map(int fd, std::int64_t fileLength, std::int64_t pos, std::int64_t page) {
        Unmap();
        base_ = pos - pos % page;
        length_ = std::min(kWindow, fileLength - base_);
        void* p = ::mmap(nullptr, std::size_t(length_), PROT_READ, MAP_SHARED, fd, static_cast<off_t>(base_));
        if (p == MAP_FAILED) return false;
        data_ = static_cast<const std::uint8_t*>(p);
        return true;
    }

private:
    void Unmap() {
        if (data_) ::munmap(const_cast<std::uint8_t*>(data_), std::size_t(length_));
        data_ = nullptr;
    }

    const std::uint8_t* data_ = nullptr;
    std::int64_t base_ = 0;
    std::int64_t length_ = 0;
};

}  // namespace

bool GatherReads(const BinaryFile& file, std::int64_t fileLength, const std::vector<std::int64_t>& offsets,
                 std::size_t width, std::uint8_t* out, Error& error) {
    const std::int64_t page = std::max<long>(::sysconf(_SC_PAGESIZE), 4096);
    Window window;
    bool mapping = file.IsOpen();
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::int64_t pos = offsets[i];
        std::uint8_t* dst = out + i * width;
        if (pos < 0 || pos > fileLength || std::int64_t(width) > fileLength - pos) {
            error = Error(ErrorCode::ReadPastEnd).File(file.Path());
            return false;
        }
        // A file system that cannot map files is read the plain way.
        if (mapping && !window.Covers(pos, width)) mapping = window.Map(file.Descriptor(), fileLength, pos, page);
        if (mapping) {
            std::memcpy(dst, window.At(pos), width);
        } else if (!file.ReadAt(pos, dst, width, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace platform
