#include "convert/sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>

#include "convert/sqlite_read_ahead.h"

namespace convert {

using platform::Error;
using platform::ErrorCode;

namespace {

// The progress handler runs this often; a stop is asked for at most every kStopEvery steps,
// a few times a second, so a front end's answer costs nothing noticeable.
constexpr int kStepsPerCall = 10000;
constexpr std::int64_t kStopEvery = 2000000;
// No value a reader needs is longer: a tile beyond 64 MiB is refused anyway, and a view
// that builds a larger string or blob fails instead of taking the memory.
constexpr int kMaxValueLength = (64 << 20) + 4096;

// A path as an SQLite URI, every byte that could read as URI syntax escaped. An absolute
// path gets an empty authority, so that a path starting "//" is no host name.
std::string UriOf(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = path.empty() || path[0] != '/' ? "file:" : "file://";
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                           c == '.' || c == '-' || c == '_' || c == '~';
        if (plain) {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri + "?mode=ro&immutable=1";
}

}  // namespace

bool Database::Open(const std::string& path, const std::string& shownAs, Mode mode, Error& error) {
    Close();
    shownAs_ = shownAs;
    mode_ = mode;
    const bool read = mode == Mode::Read;
    const int flags = read ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(read ? UriOf(path).c_str() : path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX,
                        read ? ReadAheadVfs() : nullptr) != SQLITE_OK) {
        error = Failure();
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    if (read) sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueLength);
    sqlite3_progress_handler(db_, kStepsPerCall, &Database::OnProgress, this);
    // Opening reads nothing; the schema read finds a file that is not a database.
    return Execute("SELECT count(*) FROM sqlite_master", error);
}

bool Database::Close(Error* error) {
    if (!db_) return true;
    const int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK && error) *error = Failure();
    if (rc != SQLITE_OK) sqlite3_close_v2(db_);
    db_ = nullptr;
    return rc == SQLITE_OK;
}

void Database::LimitWork(std::int64_t steps) {
    work_ = 0;
    workLimit_ = steps;
    stopped_ = Error();
}

int Database::OnProgress(void* self) {
    auto& db = *static_cast<Database*>(self);
    db.work_ += kStepsPerCall;
    if (db.workLimit_ > 0 && db.work_ > db.workLimit_) {
        db.stopped_ = Error(ErrorCode::ConvertSourceLimit).File(db.shownAs_).Detail(
            "a query of it takes far more work than a file of its size holds (a view that makes rows of itself?)");
        return 1;
    }
    if (db.stopAsked_ && db.work_ % kStopEvery == 0 && db.stopAsked_()) {
        db.stopped_ = Error(ErrorCode::Cancelled).File(db.shownAs_);
        return 1;
    }
    return 0;
}

Error Database::Failure() const {
    if (stopped_ && db_ && sqlite3_errcode(db_) == SQLITE_INTERRUPT) return stopped_;
    const std::string detail = db_ ? sqlite3_errmsg(db_) : "out of memory";
    const ErrorCode code = mode_ == Mode::Read ? ErrorCode::ConvertBadSource : ErrorCode::ConvertCannotWrite;
    return Error(code).File(shownAs_).Detail(detail);
}

bool Database::Execute(const std::string& sql, Error& error) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    error = Failure();
    return false;
}

bool Database::Prepare(const std::string& sql, Statement& statement, Error& error) {
    sqlite3_finalize(statement.stmt_);
    statement.stmt_ = nullptr;
    statement.db_ = this;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement.stmt_, nullptr) == SQLITE_OK) return true;
    error = Failure();
    return false;
}

bool Database::HasTable(const std::string& name, bool& has, Error& error) {
    Statement query;
    if (!Prepare("SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?", query, error)) return false;
    query.BindText(1, name);
    return query.Step(has, error);
}

BlobReader::~BlobReader() { sqlite3_blob_close(blob_); }

bool BlobReader::Read(std::int64_t rowid, std::int64_t offset, std::size_t n, std::vector<std::uint8_t>& out,
                      Error& error) {
    const int rc = blob_ ? sqlite3_blob_reopen(blob_, rowid)
                         : sqlite3_blob_open(db_.db_, "main", table_.c_str(), column_.c_str(), rowid, 0, &blob_);
    if (rc != SQLITE_OK) {
        error = db_.Failure();
        return false;
    }
    const std::int64_t size = sqlite3_blob_bytes(blob_);
    out.resize(std::size_t(std::clamp<std::int64_t>(size - offset, 0, std::int64_t(n))));
    if (!out.empty() && sqlite3_blob_read(blob_, out.data(), int(out.size()), int(offset)) != SQLITE_OK) {
        error = db_.Failure();
        return false;
    }
    return true;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::Step(bool& row, Error& error) {
    const int rc = sqlite3_step(stmt_);
    row = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
    error = db_->Failure();
    return false;
}

bool Statement::Reset(Error& error) {
    if (sqlite3_reset(stmt_) == SQLITE_OK) return true;
    error = db_->Failure();
    return false;
}

void Statement::BindInt(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
void Statement::BindText(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void Statement::BindBlob(int index, const void* data, std::size_t size) {
    sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_STATIC);
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
int Statement::Type(int column) const { return sqlite3_column_type(stmt_, column); }
const std::uint8_t* Statement::Blob(int column) const {
    return static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
}
std::size_t Statement::Size(int column) const { return static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)); }
std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, Size(column)) : std::string();
}

}  // namespace convert
