// history_writer FILE SERIAL COUNT: adds COUNT records of the unit SERIAL,
// numbered in their cause ("1" to COUNT), each with its own connection, as
// one front end after another would; a child of the history's tests.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/HistoryStore.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const int count = std::atoi(argv[3]);
    for (int i = 1; i <= count; ++i) {
        HistoryRecord record;
        record.started = "2026-12-10T09:12:03Z";
        record.ended = record.started;
        record.program = "cli";
        record.serial = argv[2];
        record.cause = std::to_string(i);
        HistoryStore store;
        std::string error;
        if (!store.open(argv[1], error) || !store.add(record, error)) {
            std::fprintf(stderr, "record %d: %s\n", i, error.c_str());
            return 1;
        }
    }
    return 0;
}
