// Web-map tile sources built in code: JPEG files that hold just enough for a frame walk
// (an APP0 segment of chosen length, a baseline frame header, scan bytes), and MBTiles
// files written row by row through SQLite. Header-only, for the programs that link SQLite.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fixture {

// A JPEG of the given frame size; appLength (at least 16) pushes the frame header back,
// past the first read of a tile when large.
inline std::vector<std::uint8_t> MakeJpeg(int seed, std::uint16_t width, std::uint16_t height,
                                          std::size_t scanBytes = 200, std::uint16_t appLength = 16) {
    std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, std::uint8_t(appLength >> 8), std::uint8_t(appLength),
                                      'J', 'F', 'I', 'F', 0};
    std::mt19937 rng(static_cast<unsigned>(seed) * 2654435761u + 7u);
    while (jpeg.size() < 4u + appLength) jpeg.push_back(std::uint8_t(rng() & 0x7F));
    const std::uint8_t frame[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, std::uint8_t(height >> 8), std::uint8_t(height),
                                  std::uint8_t(width >> 8), std::uint8_t(width), 0x03, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    jpeg.insert(jpeg.end(), std::begin(frame), std::end(frame));
    const std::uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 1, 0x00, 2, 0x11, 3, 0x11, 0x00, 0x3F, 0x00};
    jpeg.insert(jpeg.end(), std::begin(scan), std::end(scan));
    for (std::size_t i = 0; i < scanBytes; ++i) jpeg.push_back(std::uint8_t(rng() & 0x7F));
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

// One row of an MBTiles tiles table; no data stands for NULL.
struct MbtilesRow {
    int zoom = 0, column = 0, row = 0;  // row counted from the south
    std::optional<std::vector<std::uint8_t>> data;

    friend bool operator==(const MbtilesRow&, const MbtilesRow&) = default;
};

inline void SqlOrThrow(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

inline void WriteMbtiles(const std::string& path, const std::vector<MbtilesRow>& rows,
                         const std::vector<std::pair<std::string, std::string>>& metadata = {}) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    SqlOrThrow(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;"
                   "CREATE TABLE metadata (name TEXT, value TEXT);"
                   "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    for (const auto& row : rows) {
        sqlite3_bind_int(insert, 1, row.zoom);
        sqlite3_bind_int(insert, 2, row.column);
        sqlite3_bind_int(insert, 3, row.row);
        if (row.data) sqlite3_bind_blob64(insert, 4, row.data->data(), row.data->size(), SQLITE_STATIC);
        else sqlite3_bind_null(insert, 4);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    for (const auto& [name, value] : metadata) SqlOrThrow(db, "INSERT INTO metadata VALUES ('" + name + "', '" + value + "')");
    SqlOrThrow(db, "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row); COMMIT;");
    sqlite3_close(db);
}

// Every row, ordered by zoom, column and row.
inline std::vector<MbtilesRow> ReadMbtiles(const std::string& path) {
    sqlite3* db = nullptr;
    std::vector<MbtilesRow> rows;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM tiles ORDER BY zoom_level, tile_column, tile_row", -1, &query, nullptr);
        while (query && sqlite3_step(query) == SQLITE_ROW) {
            const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(query, 3));
            MbtilesRow row{sqlite3_column_int(query, 0), sqlite3_column_int(query, 1), sqlite3_column_int(query, 2), {}};
            if (blob) row.data.emplace(blob, blob + sqlite3_column_bytes(query, 3));
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return rows;
}

}  // namespace fixture
