// The unit's start requests for an upload, on a port that sleeps in idleFor
// as a real one does, in virtual time: they must come at the unit's request
// interval of real time, however fast its link's clock runs meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/UnitLinePort.h"
#include "sim/unit/VirtualUnit.h"
#include "comlink/CommLink.h"
#include "testkit/FakePort.h"

using namespace testkit;

namespace {

// idleFor() lets the virtual time pass until input is due or the whole
// budget is spent, as a port that polls its device does; the unit is told
// to stop once the clock reaches stopAtMs.
class SleepingPort : public FakePort {
public:
    SleepingPort(VirtualClock& clock, std::uint32_t stopAtMs) : FakePort(clock), stopAtMs(stopAtMs) {}

    int idleFor(int maxWaitMs) override
    {
        for (int waited = 0; waited < std::max(1, maxWaitMs); ++waited) {
            clock.advance(1);
            if (!tickBefore(clock.tickMs(), stopAtMs))
                stop = true;
            QueueStatus queue;
            if (queueStatus(queue, 1) == 0 && queue.rxCount > 0)
                break;
        }
        return 0;
    }

    std::atomic<bool> stop{false};

private:
    std::uint32_t stopAtMs;
};

} // namespace

TEST(StartRequests, ComeAtTheIntervalOfRealTimeAfterBtx)
{
    constexpr std::uint32_t kWatchMs = 4500;
    VirtualClock realTime;
    SleepingPort port(realTime, kWatchMs);
    UnitState state;
    std::string error;
    ASSERT_TRUE(makeFactoryState(UnitIdentity{}, nullptr, state, error)) << error;
    UnitBehaviour behaviour;
    behaviour.startRequestMs = 1000;
    Transcript transcript(realTime);

    port.deliverText("btx\r");
    StartRequestClock clock(realTime);
    UnitLinePort line(port);
    CommLink link(&line, &clock);
    VirtualUnit unit(state, behaviour, transcript);
    unit.run(link, line, clock, port.stop);

    // The unit's start requests while it was watched, on its real clock.
    std::vector<std::uint32_t> requests;
    for (const TimedByte& b : port.written)
        if (b.byte == 'C' && tickBefore(b.at, kWatchMs))
            requests.push_back(b.at);
    ASSERT_GE(requests.size(), 4u) << "the unit asked only " << requests.size() << " times in "
                                   << kWatchMs << " ms";
    EXPECT_LT(requests[0], 100u) << "the first request came late after btx";
    for (std::size_t i = 1; i < requests.size(); ++i) {
        const std::uint32_t gap = requests[i] - requests[i - 1];
        EXPECT_GE(gap, 950u) << "request " << i;
        EXPECT_LE(gap, 1050u) << "request " << i;
    }
}
