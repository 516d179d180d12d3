// unitflash-cli --each: one unit after another on the same port, and a
// summary of them all at the end.
#pragma once

#include "app/cli/CliRun.h"

// Upgrades one unit after another on request.port until Ctrl-C. Each unit
// is upgraded as runCli upgrades one (the same checks, question, texts and
// history record, its own "finished" or "failed" event); then the run says
// so and waits on the port for the next unit, searching about once a
// second. The next unit is one whose serial number differs from the last
// unit's and from every unit finished in this run, so a unit that keeps
// answering after its restart is not upgraded twice; a unit without a
// serial number is taken only once no unit answered after the last one.
// Ctrl-C while waiting ends the loop; during an upgrade it stops that unit
// (130) and ends the loop; a problem before a unit answers (no firmware
// set, --json without --yes) ends it as well. Units after the first write
// their traces beside the given one ("trace-2.txt" after "trace.txt").
// Prints a table of the units (with --json also a "summary" event) and
// returns 0 when every unit finished and at least one did; otherwise the
// status of the problem that ended the loop, else of the last unit that
// failed (130 when it was stopped, or when no unit came before Ctrl-C).
int runEach(const CliRequest& request, CliConsole& console);
