// What unitflash-cli needs from the console it runs in: whether progress
// can be redrawn in place, and Ctrl-C.
#pragma once

#include <atomic>

// True when standard output is a terminal that takes ANSI cursor movement
// (switched on for a Windows console). False for a pipe or a file.
bool prepareInPlaceOutput();

// Counts Ctrl-C presses (SIGINT and SIGTERM; the console's Ctrl-C and
// Ctrl-Break events on Windows) in presses, which must outlive the process's
// use of it. The second press ends the process at once with status 130;
// the first only counts, for the main thread to act on.
void installInterruptHandler(std::atomic<int>& presses);
