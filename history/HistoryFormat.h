// The upgrade history as text: CSV, JSON lines and a table for people.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryRecord.h"

// A header line, then one line per record; fields with a comma, a quote or
// a line break are quoted, quotes doubled. Lines end with "\n" (a text
// stream on Windows writes CRLF).
std::string historyCsv(const std::vector<HistoryRecord>& records);

// One JSON object per record and line, with the fields named as the CSV's
// header names them.
std::string historyJsonLines(const std::vector<HistoryRecord>& records);

// A table with one line per record (time, program, unit, serial number,
// versions, mode, result with the first line of its cause), or a line
// saying that there is none.
std::string historyTable(const std::vector<HistoryRecord>& records);
