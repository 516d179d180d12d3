// The upgrade history in SQLite: schema, writes in one transaction, queries.
#include "history/HistoryStore.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

namespace {

constexpr int kBusyTimeoutMs = 10000;

// The record's columns, in the order of the INSERT's parameters and the
// SELECT's results.
constexpr const char* kColumns =
    "started, ended, program, port, device, kind, model, serial, version_before, version_after, mode, "
    "status, cause, seconds, trace";

// Ends a prepared statement however the function leaves.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

std::filesystem::path pathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string column(sqlite3_stmt* row, int index)
{
    const unsigned char* text = sqlite3_column_text(row, index);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

HistoryStore::HistoryStore() = default;

HistoryStore::~HistoryStore()
{
    close();
}

void HistoryStore::close()
{
    sqlite3_close(db);
    db = nullptr;
}

bool HistoryStore::execute(const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

bool HistoryStore::open(const std::string& path, std::string& error)
{
    close();
    if (path.empty()) {
        error = "no path for the history (no home or data folder)";
        return false;
    }
    const std::filesystem::path parent = pathFromUtf8(path).parent_path();
    std::error_code ec;
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        std::filesystem::create_directories(parent, ec);
        if (ec) {
            error = "cannot create its folder: " + ec.message();
            return false;
        }
    }
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        close();
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL lets readers go on while one process writes; the busy time-out
    // makes the other writers wait their turn instead of failing.
    if (!execute("PRAGMA journal_mode=WAL", error) || !createSchema(error)) {
        close();
        return false;
    }
    return true;
}

bool HistoryStore::createSchema(std::string& error)
{
    if (!execute("BEGIN IMMEDIATE", error))
        return false;
    int version = -1;
    {
        Statement read;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &read.handle, nullptr) == SQLITE_OK
            && sqlite3_step(read.handle) == SQLITE_ROW)
            version = sqlite3_column_int(read.handle, 0);
    }
    bool ok = version >= 0;
    if (!ok)
        error = sqlite3_errmsg(db);
    if (ok && version > kSchemaVersion) {
        error = "it was written by a newer unitflash (schema " + std::to_string(version) + ")";
        ok = false;
    }
    if (ok && version == 0)
        ok = execute("CREATE TABLE IF NOT EXISTS upgrades ("
                     " id INTEGER PRIMARY KEY,"
                     " started TEXT NOT NULL, ended TEXT NOT NULL, program TEXT NOT NULL,"
                     " port TEXT NOT NULL, device TEXT NOT NULL, kind TEXT NOT NULL, model INTEGER NOT NULL,"
                     " serial TEXT NOT NULL, version_before REAL NOT NULL, version_after REAL NOT NULL,"
                     " mode TEXT NOT NULL, status INTEGER NOT NULL, cause TEXT NOT NULL,"
                     " seconds REAL NOT NULL, trace TEXT NOT NULL);"
                     "CREATE INDEX IF NOT EXISTS upgrades_serial ON upgrades(serial);"
                     "CREATE INDEX IF NOT EXISTS upgrades_started ON upgrades(started);"
                     "PRAGMA user_version = 1;",
                     error);
    if (!ok) {
        std::string ignored;
        execute("ROLLBACK", ignored);
        return false;
    }
    return execute("COMMIT", error);
}

bool HistoryStore::add(const HistoryRecord& r, std::string& error)
{
    if (db == nullptr) {
        error = "the history is not open";
        return false;
    }
    // IMMEDIATE takes the write lock at once, so a busy file is waited for
    // here, under the busy time-out, and never half-way through.
    if (!execute("BEGIN IMMEDIATE", error))
        return false;
    Statement insert;
    const std::string sql = std::string("INSERT INTO upgrades (") + kColumns
        + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)";
    bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &insert.handle, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_stmt* s = insert.handle;
        int i = 0;
        for (const std::string* text : {&r.started, &r.ended, &r.program, &r.port, &r.device, &r.kind})
            sqlite3_bind_text(s, ++i, text->c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, ++i, r.model);
        sqlite3_bind_text(s, ++i, r.serial.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s, ++i, r.versionBefore);
        sqlite3_bind_double(s, ++i, r.versionAfter);
        sqlite3_bind_text(s, ++i, r.mode.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, ++i, r.status);
        sqlite3_bind_text(s, ++i, r.cause.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s, ++i, r.seconds);
        sqlite3_bind_text(s, ++i, r.trace.c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    if (!ok) {
        error = sqlite3_errmsg(db);
        std::string ignored;
        execute("ROLLBACK", ignored);
        return false;
    }
    return execute("COMMIT", error);
}

bool HistoryStore::query(const std::string& serial, const std::string& since, std::vector<HistoryRecord>& records,
                         std::string& error)
{
    records.clear();
    if (db == nullptr) {
        error = "the history is not open";
        return false;
    }
    Statement select;
    const std::string sql = std::string("SELECT ") + kColumns
        + " FROM upgrades WHERE (?1 = '' OR serial = ?1) AND (?2 = '' OR started >= ?2)"
          " ORDER BY started DESC, id DESC";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &select.handle, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    sqlite3_stmt* s = select.handle;
    sqlite3_bind_text(s, 1, serial.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, since.c_str(), -1, SQLITE_TRANSIENT);
    int step;
    while ((step = sqlite3_step(s)) == SQLITE_ROW) {
        HistoryRecord r;
        int i = 0;
        for (std::string* text : {&r.started, &r.ended, &r.program, &r.port, &r.device, &r.kind})
            *text = column(s, i++);
        r.model = sqlite3_column_int(s, i++);
        r.serial = column(s, i++);
        r.versionBefore = sqlite3_column_double(s, i++);
        r.versionAfter = sqlite3_column_double(s, i++);
        r.mode = column(s, i++);
        r.status = sqlite3_column_int(s, i++);
        r.cause = column(s, i++);
        r.seconds = sqlite3_column_double(s, i++);
        r.trace = column(s, i++);
        records.push_back(std::move(r));
    }
    if (step != SQLITE_DONE) {
        error = sqlite3_errmsg(db);
        records.clear();
        return false;
    }
    return true;
}
