// The upgrade's weighted percent and time left, from its estimate.
#include "engine/UpgradeProgress.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "comlink/Clock.h"
#include "engine/UpgradeState.h"

UpgradeProgress::UpgradeProgress(UpgradeState& state_, Clock& clock_) : state(state_), clock(clock_) {}

void UpgradeProgress::start(WorkEstimate estimate)
{
    plan = std::move(estimate);
    totalSeconds = plan.totalSeconds();
    next = 0;
    doneSeconds = 0;
    movingSeconds = 0;
    lastBytes = 0;
    startMs = clock.tickMs();
    shownPercent = 0;
    running = true;
    publish();
}

void UpgradeProgress::finished(WorkPart part, int slot)
{
    if (!running)
        return;
    for (std::size_t i = next; i < plan.items.size(); ++i) {
        if (plan.items[i].part != part || plan.items[i].slot != slot)
            continue;
        for (; next <= i; ++next)
            doneSeconds += plan.items[next].seconds;
        movingSeconds = 0;
        publish();
        return;
    }
}

void UpgradeProgress::transferMoved(unsigned bytesDone, int blockSize)
{
    if (!running)
        return;
    if (bytesDone < lastBytes)
        lastBytes = 0;
    if (bytesDone == lastBytes)
        return;
    // The bytes of whole blocks with their framing, at the unit's rate.
    const unsigned moved = bytesDone - lastBytes;
    const int size = blockSize == 1024 ? 1024 : 128;
    movingSeconds += blockSeconds(size, state.baudRate) * moved / size;
    lastBytes = bytesDone;
    publish();
}

void UpgradeProgress::waited(int ms)
{
    if (!running || ms <= 0)
        return;
    movingSeconds += ms / 1000.0;
    publish();
}

void UpgradeProgress::complete()
{
    running = false;
    shownPercent = 100;
    state.overallPercent = 100;
    state.secondsLeft = 0;
}

void UpgradeProgress::publish()
{
    const double current = next < plan.items.size() ? plan.items[next].seconds : 0;
    const double done = doneSeconds + std::min(movingSeconds, current);
    const int percent = totalSeconds > 0 ? static_cast<int>(100 * done / totalSeconds) : 0;
    // Only complete() shows 100: a run is finished when its version is read.
    shownPercent = std::clamp(percent, shownPercent, 99);
    state.overallPercent = shownPercent;

    double left = std::max(0.0, totalSeconds - done);
    if (done > 0 && (done >= kJudgeShare * totalSeconds || done >= kJudgeSeconds)) {
        // A unit or line slower (or faster) than its nominal rate keeps its
        // pace for the rest of the run.
        const double elapsed = static_cast<std::uint32_t>(clock.tickMs() - startMs) / 1000.0;
        left *= elapsed / done;
    }
    state.secondsLeft = static_cast<int>(std::lround(left));
}
