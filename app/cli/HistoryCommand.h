// unitflash-cli's upgrade history: the options that say where a run is
// recorded, and the "history" subcommand that lists the records.
#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

// Where an upgrade run is recorded: --history FILE, --no-history, or the
// default (UNITFLASH_HISTORY, else the user's data folder).
struct HistoryChoice {
    std::string file;
    bool off = false;

    // The history file to add the run to; "" for none.
    std::string path() const;
};

// Adds --history and --no-history to an upgrade's options.
void addHistoryOptions(CLI::App& app, HistoryChoice& choice);

// What "unitflash-cli history" lists, and how.
struct HistoryQuery {
    std::string serial;  // "" = every unit
    std::string since;   // "" = all; "2026-12-10" or a whole UTC time
    bool json = false;
    bool csv = false;
    HistoryChoice where;
};

// Adds the "history" subcommand to app; parse fills query.
CLI::App* addHistoryCommand(CLI::App& app, HistoryQuery& query);

// Prints the records, newest first, as a table, CSV or JSON lines. A
// history that does not exist yet holds no record. Returns the exit
// status: 0, or 1 when the history cannot be read.
int runHistoryCommand(const HistoryQuery& query, std::FILE* out, std::FILE* err);
