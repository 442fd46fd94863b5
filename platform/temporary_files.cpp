#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <random>

#include "platform/fs.h"

namespace platform {
namespace {

constexpr char kMark[] = ".tessaly-";
constexpr char kEnd[] = ".tmp";
constexpr std::size_t kRandomLength = 8;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// Everything of a temporary's name but the stem: the leading dot, the mark, the random part.
constexpr std::size_t kFixedLength = 1 + (sizeof kMark - 1) + kRandomLength + (sizeof kEnd - 1);

// The longest start of text within limit bytes that does not cut a UTF-8 sequence.
std::string CutAtCharacter(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string TemporaryPathFor(const std::string& finalPath) {
    std::string folder = ParentFolder(finalPath);
    if (folder.empty() && !finalPath.empty() && finalPath[0] != '/') folder = ".";
    const std::string stem = CutAtCharacter(BaseNameOf(finalPath), NAME_MAX - kFixedLength);
    std::random_device source;
    std::mt19937 generator(source());
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
    std::string candidate;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string random(kRandomLength, 'x');
        for (char& c : random) c = kLetters[pick(generator)];
        candidate = JoinPath(folder, "." + stem + kMark + random + kEnd);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) break;
    }
    return candidate;
}

bool IsTemporaryName(const std::string& name) {
    const std::size_t tail = (sizeof kMark - 1) + kRandomLength + (sizeof kEnd - 1);
    if (name.size() < 1 + tail || name[0] != '.') return false;
    const std::size_t mark = name.size() - tail;
    const std::size_t end = name.size() - (sizeof kEnd - 1);
    if (name.compare(mark, sizeof kMark - 1, kMark) != 0 || name.compare(end, std::string::npos, kEnd) != 0)
        return false;
    for (std::size_t i = mark + sizeof kMark - 1; i < end; ++i)
        if (!IsLetterOrDigit(name[i])) return false;
    return true;
}

void RemoveStaleTemporaries(const std::string& folder, long maxAgeSeconds) {
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (!IsTemporaryName(name)) continue;
        const std::string path = JoinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || now - st.st_mtime < maxAgeSeconds) continue;
        // A writer holds its temporary locked until it publishes or drops it; a lock we
        // get means that writer is gone.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(listing);
}

}  // namespace platform
