// The joined fake ports and the turn-taking between their two threads.
#include "testkit/PipePair.h"

#include <thread>

namespace testkit {

class PipePair::End : public FakePort {
public:
    End(PipePair& pair, int side) : FakePort(pair.clock), pair(pair), side(side) {}
    End* other = nullptr;

    int idle() override
    {
        const int r = FakePort::idle();
        pair.handOver(side);
        return r;
    }

protected:
    void onWrite(std::uint8_t byte) override { other->deliver({byte}); }

private:
    PipePair& pair;
    int side;
};

PipePair::PipePair(std::uint32_t startMs) : clock(startMs)
{
    ends[0] = std::make_unique<End>(*this, 0);
    ends[1] = std::make_unique<End>(*this, 1);
    ends[0]->other = ends[1].get();
    ends[1]->other = ends[0].get();
}

PipePair::~PipePair() = default;

FakePort& PipePair::port(int side)
{
    return *ends[side];
}

void PipePair::handOver(int side)
{
    std::unique_lock<std::mutex> hold(lock);
    if (done[1 - side])
        return;
    turn = 1 - side;
    turnChanged.notify_all();
    turnChanged.wait(hold, [&] { return turn == side; });
}

void PipePair::enter(int side)
{
    std::unique_lock<std::mutex> hold(lock);
    turnChanged.wait(hold, [&] { return turn == side; });
}

void PipePair::leave(int side)
{
    std::lock_guard<std::mutex> hold(lock);
    done[side] = true;
    turn = 1 - side;
    turnChanged.notify_all();
}

void PipePair::run(const std::function<void(FakePort&)>& a, const std::function<void(FakePort&)>& b)
{
    turn = 0;
    done[0] = done[1] = false;
    auto body = [this](int side, const std::function<void(FakePort&)>& fn) {
        enter(side);
        fn(*ends[side]);
        leave(side);
    };
    std::thread t1(body, 1, std::cref(b));
    body(0, a);
    t1.join();
}

} // namespace testkit
