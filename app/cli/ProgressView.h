// The upgrade's progress as text: the frame redrawn in place on a terminal
// and the plain lines for a log, both drawn from a ProgressSnapshot.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/ProgressSnapshot.h"
#include "engine/UpgradeState.h"

// The file name after the last '/' or '\'.
std::string baseName(const std::string& path);

// The slots to show: the present ones up to the end of the list (the first
// slot neither present nor done). A resumed run clears the slots of the
// steps an earlier run finished (not present, done), so entries may follow
// such a slot.
std::vector<int> shownSteps(const StepListView& steps);

// How many slots a resumed run cleared because an earlier run did them.
int stepsDoneEarlier(const StepListView& steps);

// The slot being worked on: the first shown entry not done; -1 when every
// entry is done or the list is empty.
int runningStep(const StepListView& steps);

// The frame drawn in place: one line per step with its mark ("[x]" done,
// "[>]" running, "[ ]" pending), then the transfer line and the notice.
std::vector<std::string> renderProgress(const ProgressSnapshot& snap);

// The transfer line: file, block, bytes, the file's and the upgrade's
// percent, and the upgrade's time left while it is known.
std::string renderTransferLine(const ProgressSnapshot& snap);

// Plain progress lines for output that is not a terminal: a line when the
// step list, the running step, the file or the notice changes, and the
// transfer line at most every intervalMs while bytes move. Pure: the
// caller passes the time.
class ProgressLog {
public:
    explicit ProgressLog(std::uint32_t intervalMs = 5000) : intervalMs(intervalMs) {}
    std::vector<std::string> update(const ProgressSnapshot& snap, std::uint32_t nowMs);

private:
    std::uint32_t intervalMs;
    bool first = true;
    std::vector<std::string> listNames;
    int running = -2;
    std::string file;
    std::string notice;
    unsigned bytes = 0;
    std::uint32_t lastLineMs = 0;
};

// Writes the progress to out: redrawn in place with ANSI cursor movement
// when inPlace is set, as ProgressLog's lines otherwise. One thread.
class ProgressPainter {
public:
    ProgressPainter(std::FILE* out, bool inPlace) : out(out), inPlace(inPlace) {}
    void show(const ProgressSnapshot& snap, std::uint32_t nowMs);
    // Prints text (ending in a line break) so that the frame stays below it.
    void printAbove(const std::string& text);
    // Leaves the last frame on screen; later output goes below it.
    void finish();

private:
    void erase();

    std::FILE* out;
    bool inPlace;
    ProgressLog log;
    std::vector<std::string> frame;
};
