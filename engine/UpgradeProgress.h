// The upgrade's progress as the share of its estimated time that is done,
// and the time left, published in the shared record as the run goes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/WorkEstimate.h"

class Clock;
class UpgradeState;

// Follows one run through its estimate: a part counts as done when the run
// marks it finished, and the running part advances with the bytes its
// transfers move. Publishes state.overallPercent (the whole upgrade, never
// falling, below 100 until complete()) and state.secondsLeft (what is left
// of the estimate, scaled by the pace seen so far once enough is done to
// judge it). Worker thread only.
class UpgradeProgress {
public:
    UpgradeProgress(UpgradeState& state, Clock& clock);

    // Begins with the run's estimate: 0 %, the whole estimate left.
    void start(WorkEstimate estimate);
    // The run has finished part (slot: of a list step): it, and every part
    // planned before it, count as done. A part the estimate does not hold
    // changes nothing.
    void finished(WorkPart part, int slot = 0);
    // A transfer of the running part stands at bytesDone of its file, in
    // blocks of blockSize: the line time of the bytes moved since the last
    // call counts for the running part, up to its estimate. A count that
    // went down began a new transfer. Called at every block.
    void transferMoved(unsigned bytesDone, int blockSize);
    // The running part waited ms in one of its fixed pauses: counts for it,
    // up to its estimate, with its transfers.
    void waited(int ms);
    // The upgrade has read its final version: 100 %, nothing left.
    void complete();

    // Share of the estimate done, and number of seconds done, before the
    // pace is judged from the clock.
    static constexpr double kJudgeShare = 0.05;
    static constexpr double kJudgeSeconds = 15.0;

private:
    void publish();

    UpgradeState& state;
    Clock& clock;
    WorkEstimate plan;
    double totalSeconds = 0;
    std::size_t next = 0;        // the first part not finished
    double doneSeconds = 0;      // the estimate of the parts finished
    double movingSeconds = 0;    // line time of the running part's transfers
    unsigned lastBytes = 0;
    std::uint32_t startMs = 0;
    int shownPercent = 0;
    bool running = false;
};
