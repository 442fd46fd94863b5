// A thin owner of an SQLite connection and its statements, so every way out of a reader
// or writer closes them, and SQLite's failures become the program's errors.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/error.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_blob;

namespace convert {

class Statement;

class Database {
public:
    enum class Mode { Read, Create };

    Database() = default;
    ~Database() { Close(); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Read refuses a file that is not an SQLite database, or is damaged, at once rather
    // than at the first query. It opens the file read-only and immutable, so that nothing
    // (no journal, no -wal or -shm) is ever written beside a source, and a source in a
    // read-only folder still reads. Errors name shownAs: the user's file, not a temporary.
    bool Open(const std::string& path, const std::string& shownAs, Mode mode, platform::Error& error);
    // The work (in SQLite's virtual-machine steps) that the queries from now on may take
    // together, 0 for no bound; beyond it they fail with ConvertSourceLimit. A view can
    // make rows from nothing, for ever; a bound in proportion to the file's size stops it
    // while every query over real rows stays well inside.
    void LimitWork(std::int64_t steps);
    // Asked now and then during a long query; true stops it with Cancelled.
    void WatchStop(std::function<bool()> stopAsked) { stopAsked_ = std::move(stopAsked); }
    // Closing a database written to can fail: the last pages reach the file only then.
    bool Close(platform::Error* error = nullptr);
    bool Execute(const std::string& sql, platform::Error& error);
    bool Prepare(const std::string& sql, Statement& statement, platform::Error& error);
    bool HasTable(const std::string& name, bool& has, platform::Error& error);

    // The error of the last failed call, for a failure of this database's file.
    platform::Error Failure() const;

private:
    friend class BlobReader;
    static int OnProgress(void* self);

    sqlite3* db_ = nullptr;
    std::string shownAs_;
    Mode mode_ = Mode::Read;
    std::int64_t work_ = 0, workLimit_ = 0;
    std::function<bool()> stopAsked_;
    platform::Error stopped_;  // why the progress handler broke off the last query
};

class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Step: true with row set while rows come, true with row clear at the end, false on failure.
    bool Step(bool& row, platform::Error& error);
    bool Reset(platform::Error& error);
    void BindInt(int index, std::int64_t value);
    void BindText(int index, const std::string& text);
    void BindBlob(int index, const void* data, std::size_t size);

    std::int64_t Int(int column) const;
    int Type(int column) const;  // SQLITE_INTEGER, SQLITE_BLOB, SQLITE_NULL, ...
    const std::uint8_t* Blob(int column) const;
    std::size_t Size(int column) const;
    std::string Text(int column) const;

private:
    friend class Database;
    sqlite3_stmt* stmt_ = nullptr;
    const Database* db_ = nullptr;
};

// Parts of one column's values by rowid, read without loading the whole value: a tile's
// first bytes cost a page or two, not the tile.
class BlobReader {
public:
    BlobReader(Database& db, std::string table, std::string column)
        : db_(db), table_(std::move(table)), column_(std::move(column)) {}
    ~BlobReader();
    BlobReader(const BlobReader&) = delete;
    BlobReader& operator=(const BlobReader&) = delete;

    // Up to n bytes from offset on; fewer where the value ends first.
    bool Read(std::int64_t rowid, std::int64_t offset, std::size_t n, std::vector<std::uint8_t>& out,
              platform::Error& error);

private:
    Database& db_;
    std::string table_, column_;
    sqlite3_blob* blob_ = nullptr;
};

}  // namespace convert
