// What MBTiles and the map apps' tile stores share: an SQLite file whose `tiles` table
// (or a view) holds a row per web-map tile, with its column, row, zoom and image. The
// file is opened without waiting on a pipe and never without its write-ahead log; a view
// is code the file brings along, so every query is bounded in work by the file's size
// and every zoom in rows. The formats differ only in their columns' names and in how
// they count zooms and rows.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "convert/sqlite_db.h"
#include "convert/tile_source.h"

namespace convert {

// How the tiles table names its columns, and how an error names a tile's place.
struct TileColumns {
    const char* x;
    const char* y;
    const char* zoom;
    const char* image;
    const char* xWord;
    const char* yWord;
};

class SqliteTileSource : public TileSource {
public:
    SqliteTileSource(std::string path, TileColumns columns) : path_(std::move(path)), columns_(columns) {}

    void WatchStop(std::function<bool()> stopAsked) override { db_.WatchStop(std::move(stopAsked)); }
    bool Survey(int zoom, const SurveyVisitor& visit, platform::Error& error) override;
    bool Copy(int zoom, const CopyVisitor& visit, platform::Error& error) override;

protected:
    // Opens the file read-only with the work budget its size allows. A pipe is refused
    // before SQLite would wait on it, and so is a file whose latest changes lie only in
    // its -wal (read as unchanging, they would be missing from the map unnoticed).
    bool OpenFile(platform::Error& error);
    // Whether `tiles` is a table (its rows have rowids) rather than a view.
    bool FindTableKind(platform::Error& error);
    // The file's whole budget again, for the next query.
    void Renew() { db_.LimitWork(work_); }
    bool Fail(platform::Error& error, const std::string& why) const;

    // The zoom a tile of this zoom is stored under.
    virtual std::int64_t StoredZoom(int zoom) const = 0;
    // A stored row, counted from the north as the web grid counts; and back.
    virtual std::uint32_t RowFromNorth(int zoom, std::uint32_t stored) const = 0;

    std::string path_;
    Database db_;

private:
    bool KeyOf(const Statement& query, int zoom, std::int64_t rows, TileKey& key, platform::Error& error) const;
    std::string Where() const;

    TileColumns columns_;
    bool isTable_ = false;
    std::int64_t work_ = 0;
};

}  // namespace convert
