// A file layer for SQLite sources opened read-only and immutable. SQLite reads a page at a
// time, one system call each, and a pass over a tile table reads the whole file that way;
// this layer serves those reads from a few windows of the file, each read at once and
// grown while the reads run on through the file, so a pass costs hundreds of calls rather
// than a hundred thousand. Reads that jump about still cost one modest read each.
#pragma once

namespace convert {

// The name to give sqlite3_open_v2 for a source; the layer is registered with SQLite on the
// first call. Null when it cannot be, and SQLite then reads the file itself.
const char* ReadAheadVfs();

}  // namespace convert
