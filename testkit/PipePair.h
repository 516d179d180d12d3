// Two fake ports joined back to back, for running two engines against each
// other in virtual time on two threads taking turns.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "testkit/FakePort.h"

namespace testkit {

// What one side writes becomes the other side's input at once. run() starts
// one thread per side and lets only one of them run at a time: a side hands
// over at each idle() of its port, so virtual time advances only while a
// side waits, and a busy side can never make the other one time out.
class PipePair {
public:
    explicit PipePair(std::uint32_t startMs = 0);
    ~PipePair();

    FakePort& port(int side);
    // Runs a on side 0 and b on side 1 until both have returned. Make the
    // links inside the functions (their construction talks to the port).
    void run(const std::function<void(FakePort&)>& a, const std::function<void(FakePort&)>& b);

    VirtualClock clock;

private:
    class End;
    void handOver(int side);
    void enter(int side);
    void leave(int side);

    std::unique_ptr<End> ends[2];
    std::mutex lock;
    std::condition_variable turnChanged;
    int turn = 0;
    bool done[2] = {false, false};
};

} // namespace testkit
