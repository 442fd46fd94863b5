#include "convert/sqlite_read_ahead.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace convert {
namespace {

constexpr char kName[] = "tessaly-read-ahead";
// A read this far past a window's end still runs on from it: a tile table's leaf pages lie
// a few pages apart, their blobs' overflow pages between them.
constexpr sqlite3_int64 kReach = 32 << 10;
constexpr sqlite3_int64 kLargestWindow = 1 << 20;
// An index and the table it points into are read side by side, with the table's first
// pages now and then.
constexpr std::size_t kWindows = 4;

// A stretch of the file read at once: its bytes, or only its place for a read that went
// straight to SQLite.
struct Window {
    sqlite3_int64 start = 0, length = 0;  // length 0: nothing read
    bool kept = false;                    // whether bytes holds it
    std::uint64_t lastUsed = 0;
    std::vector<char> bytes;

    bool Holds(sqlite3_int64 offset, sqlite3_int64 amount) const {
        return kept && offset >= start && offset + amount <= start + length;
    }
    // Whether a read at offset runs on from this window.
    bool RunsOn(sqlite3_int64 offset) const {
        return length > 0 && offset >= start + length && offset <= start + length + kReach;
    }
};

struct ReadAheadFile {
    sqlite3_file base;  // first, as SQLite sees it
    sqlite3_file* real = nullptr;
    sqlite3_int64 size = -1;  // -1: reads pass straight through
    std::array<Window, kWindows> windows;
    std::uint64_t clock = 0;
};

constexpr std::size_t kRealAt = (sizeof(ReadAheadFile) + 15) / 16 * 16;

ReadAheadFile& Of(sqlite3_file* file) { return *reinterpret_cast<ReadAheadFile*>(file); }
sqlite3_file* Real(sqlite3_file* file) { return Of(file).real; }
sqlite3_vfs* Real(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

int Close(sqlite3_file* file) {
    ReadAheadFile& f = Of(file);
    const int rc = f.real->pMethods ? f.real->pMethods->xClose(f.real) : SQLITE_OK;
    f.~ReadAheadFile();
    return rc;
}

// Reads [offset, offset + amount) and what follows into the window the read runs on from,
// twice as much as it held. Null when the file no longer reads as it did.
Window* Fill(ReadAheadFile& f, Window& w, sqlite3_int64 offset, sqlite3_int64 amount) {
    const sqlite3_int64 length = std::min(std::max(std::min(2 * w.length, kLargestWindow), amount), f.size - offset);
    w.length = 0, w.kept = false;
    w.bytes.resize(std::size_t(length));
    if (f.real->pMethods->xRead(f.real, w.bytes.data(), int(length), offset) != SQLITE_OK) return nullptr;
    w.start = offset, w.length = length, w.kept = true;
    return &w;
}

int Read(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
    ReadAheadFile& f = Of(file);
    // Past the end, SQLite wants a short read and zeros: the file's own layer says so best.
    if (f.size < 0 || amount > kLargestWindow / 2 || offset < 0 || offset + amount > f.size)
        return f.real->pMethods->xRead(f.real, out, amount, offset);
    Window* held = nullptr;
    Window* from = nullptr;
    for (Window& w : f.windows) {
        if (w.Holds(offset, amount)) held = &w;
        if (from == nullptr && w.RunsOn(offset)) from = &w;
    }
    if (held == nullptr && from == nullptr) {
        // A read on its own goes straight to SQLite, as reads that jump about (images
        // stored in no order) would waste anything more; its place is kept in case the
        // next runs on from it.
        Window& w = *std::min_element(f.windows.begin(), f.windows.end(),
                                      [](const Window& a, const Window& b) { return a.lastUsed < b.lastUsed; });
        const int rc = f.real->pMethods->xRead(f.real, out, amount, offset);
        w.start = offset, w.length = rc == SQLITE_OK ? amount : 0, w.kept = false, w.lastUsed = ++f.clock;
        return rc;
    }
    // What went wrong is for the file's own layer to say, as it would have.
    if (held == nullptr && (held = Fill(f, *from, offset, amount)) == nullptr)
        return f.real->pMethods->xRead(f.real, out, amount, offset);
    std::memcpy(out, held->bytes.data() + (offset - held->start), std::size_t(amount));
    held->lastUsed = ++f.clock;
    return SQLITE_OK;
}

int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    for (Window& w : Of(file).windows) w.length = 0, w.kept = false;
    return Real(file)->pMethods->xWrite(Real(file), data, amount, offset);
}
int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    for (Window& w : Of(file).windows) w.length = 0, w.kept = false;
    return Real(file)->pMethods->xTruncate(Real(file), size);
}
int Sync(sqlite3_file* file, int flags) { return Real(file)->pMethods->xSync(Real(file), flags); }
int FileSize(sqlite3_file* file, sqlite3_int64* size) { return Real(file)->pMethods->xFileSize(Real(file), size); }
int Lock(sqlite3_file* file, int level) { return Real(file)->pMethods->xLock(Real(file), level); }
int Unlock(sqlite3_file* file, int level) { return Real(file)->pMethods->xUnlock(Real(file), level); }
int CheckReservedLock(sqlite3_file* file, int* out) {
    return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}
int FileControl(sqlite3_file* file, int op, void* arg) {
    return Real(file)->pMethods->xFileControl(Real(file), op, arg);
}
int SectorSize(sqlite3_file* file) { return Real(file)->pMethods->xSectorSize(Real(file)); }
int DeviceCharacteristics(sqlite3_file* file) { return Real(file)->pMethods->xDeviceCharacteristics(Real(file)); }

// Version 1: no shared memory and no mapped pages, which an immutable source needs neither of.
constexpr sqlite3_io_methods kMethods = {
    .iVersion = 1,
    .xClose = &Close,
    .xRead = &Read,
    .xWrite = &Write,
    .xTruncate = &Truncate,
    .xSync = &Sync,
    .xFileSize = &FileSize,
    .xLock = &Lock,
    .xUnlock = &Unlock,
    .xCheckReservedLock = &CheckReservedLock,
    .xFileControl = &FileControl,
    .xSectorSize = &SectorSize,
    .xDeviceCharacteristics = &DeviceCharacteristics,
    .xShmMap = nullptr,
    .xShmLock = nullptr,
    .xShmBarrier = nullptr,
    .xShmUnmap = nullptr,
    .xFetch = nullptr,
    .xUnfetch = nullptr,
};

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* f = new (file) ReadAheadFile;
    f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealAt);
    f->real->pMethods = nullptr;
    const int rc = Real(vfs)->xOpen(Real(vfs), name, f->real, flags, outFlags);
    sqlite3_int64 size = 0;
    if (rc != SQLITE_OK) {
        Close(file);
        file->pMethods = nullptr;
        return rc;
    }
    file->pMethods = &kMethods;
    const bool source = (flags & SQLITE_OPEN_MAIN_DB) != 0 && (flags & SQLITE_OPEN_READONLY) != 0;
    if (source && f->real->pMethods->xFileSize(f->real, &size) == SQLITE_OK) f->size = size;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) { return Real(vfs)->xDelete(Real(vfs), name, syncDir); }
int Access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return Real(vfs)->xAccess(Real(vfs), name, flags, out);
}
int FullPathname(sqlite3_vfs* vfs, const char* name, int n, char* out) {
    return Real(vfs)->xFullPathname(Real(vfs), name, n, out);
}
void* DlOpen(sqlite3_vfs* vfs, const char* name) { return Real(vfs)->xDlOpen(Real(vfs), name); }
void DlError(sqlite3_vfs* vfs, int n, char* out) { Real(vfs)->xDlError(Real(vfs), n, out); }
void (*DlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return Real(vfs)->xDlSym(Real(vfs), handle, symbol);
}
void DlClose(sqlite3_vfs* vfs, void* handle) { Real(vfs)->xDlClose(Real(vfs), handle); }
int Randomness(sqlite3_vfs* vfs, int n, char* out) { return Real(vfs)->xRandomness(Real(vfs), n, out); }
int Sleep(sqlite3_vfs* vfs, int microseconds) { return Real(vfs)->xSleep(Real(vfs), microseconds); }
int CurrentTime(sqlite3_vfs* vfs, double* now) { return Real(vfs)->xCurrentTime(Real(vfs), now); }
int GetLastError(sqlite3_vfs* vfs, int n, char* out) { return Real(vfs)->xGetLastError(Real(vfs), n, out); }
int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) { return Real(vfs)->xCurrentTimeInt64(Real(vfs), now); }

sqlite3_vfs* Register() {
    if (sqlite3_initialize() != SQLITE_OK) return nullptr;
    sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    // Version 2 at least for the current time in integers, which SQLite prefers.
    if (real == nullptr || real->iVersion < 2) return nullptr;
    static sqlite3_vfs layer{};
    layer.iVersion = 2;
    layer.szOsFile = int(kRealAt) + real->szOsFile;
    layer.mxPathname = real->mxPathname;
    layer.zName = kName;
    layer.pAppData = real;
    layer.xOpen = &Open;
    layer.xDelete = &Delete;
    layer.xAccess = &Access;
    layer.xFullPathname = &FullPathname;
    layer.xDlOpen = &DlOpen;
    layer.xDlError = &DlError;
    layer.xDlSym = &DlSym;
    layer.xDlClose = &DlClose;
    layer.xRandomness = &Randomness;
    layer.xSleep = &Sleep;
    layer.xCurrentTime = &CurrentTime;
    layer.xGetLastError = &GetLastError;
    layer.xCurrentTimeInt64 = &CurrentTimeInt64;
    return sqlite3_vfs_register(&layer, 0) == SQLITE_OK ? &layer : nullptr;
}

}  // namespace

const char* ReadAheadVfs() {
    static sqlite3_vfs* const layer = Register();
    return layer ? layer->zName : nullptr;
}

}  // namespace convert
