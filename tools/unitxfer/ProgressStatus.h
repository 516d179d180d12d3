// The transfer status of unitxfer: a progress line, messages and Ctrl-C.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "comlink/Clock.h"
#include "transfer/TransferStatus.h"

// One progress line: "NAME  block B  N bytes  P%" (the percent only when
// total is known, that is when sending a file of nonzero size).
std::string formatProgress(const std::string& fileName, int block, unsigned bytes, unsigned total);

// Set (from a signal handler) to ask the running transfer to stop; the
// engine then cancels on the line and ends with kXferInterrupted.
extern std::atomic<bool> xferInterruptRequested;

// A TransferStatus that redraws a progress line in place on `out` (at most
// every 100 ms of `clock`) when `inPlace` is set, and writes each engine
// message as a line when `verbose` is set. Worker thread only.
class ProgressStatus : public TransferStatus {
public:
    ProgressStatus(std::FILE* out, Clock& clock, bool inPlace, bool verbose);
    // Ends the progress line (finish()).
    ~ProgressStatus() override;

    int notify(int result) override;
    void message(const char* text) override;
    int abortQuery() override;
    // Draws the last state and ends the progress line, if one was drawn.
    void finish();

private:
    void draw();
    void clearLine();

    std::FILE* out;
    Clock& clock;
    bool inPlace;
    bool verbose;
    bool drawn = false;
    std::uint32_t lastDrawMs = 0;
    std::size_t lastWidth = 0;
};
