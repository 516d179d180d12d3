// The upgrade history: one SQLite file that several processes write at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "history/HistoryRecord.h"

struct sqlite3;

// A connection to one history file. Each process (a depot runs one per
// port) opens its own; the file is in WAL mode with a 10 s busy time-out,
// and every add() is one BEGIN IMMEDIATE transaction, so writers queue up
// instead of failing and no record is lost. One thread at a time.
class HistoryStore {
public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // UNITFLASH_HISTORY when set (a file path); otherwise the platform's
    // data folder: $XDG_DATA_HOME/unitflash/history.sqlite3 (or
    // ~/.local/share/...) on POSIX, %LOCALAPPDATA%\unitflash\history.sqlite3
    // on Windows. "" when none of these can be found.
    static std::string defaultPath();

    // Opens (creating the folder, the file and its table when missing) the
    // history at path, UTF-8. False with error set when it cannot; a file
    // written by a newer schema is refused rather than altered.
    bool open(const std::string& path, std::string& error);
    // Appends one record in its own transaction; waits up to the busy
    // time-out for other writers. False with error set when it failed.
    bool add(const HistoryRecord& record, std::string& error);
    // The records of the unit with serial number serial ("" = every unit)
    // that started on or after since ("" = all; a date "2026-12-10" or a
    // whole time), newest first. False with error set when the read failed.
    bool query(const std::string& serial, const std::string& since, std::vector<HistoryRecord>& records,
               std::string& error);

    // The schema this build writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 1;

private:
    bool execute(const char* sql, std::string& error);
    bool createSchema(std::string& error);
    void close();

    sqlite3* db = nullptr;
};
