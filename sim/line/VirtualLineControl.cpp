// The virtual line's control: its ends opened, its pump started on a thread
// of its own or run on the caller's, stopped and waited for; its counters.
#include "sim/line/VirtualLine.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

const char* lineEndReasonText(LineEndReason reason)
{
    switch (reason) {
    case LineEndReason::Running: return "running";
    case LineEndReason::Stopped: return "stopped";
    case LineEndReason::EndClosed: return "an end was closed";
    case LineEndReason::TimeLimit: return "time limit reached";
    case LineEndReason::IdleLimit: return "idle limit reached";
    case LineEndReason::Failed: return "system error";
    }
    return "unknown";
}

VirtualLine::VirtualLine(LineOptions opts)
    : options(std::move(opts)), shapers{LineShaper(options.aToB), LineShaper(options.bToA)}
{
}

VirtualLine::~VirtualLine()
{
    stop();
    if (thread.joinable())
        thread.join();
    for (PtyEnd& end : ends)
        end.close();
    if (wakeRead >= 0)
        ::close(wakeRead);
    if (wakeWrite >= 0)
        ::close(wakeWrite);
}

int VirtualLine::open()
{
    if (opened)
        return 0;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        lastErrno = errno;
        return -errno;
    }
    wakeRead = fds[0];
    wakeWrite = fds[1];
    const std::string* links[2] = {&options.linkA, &options.linkB};
    for (int e = 0; e < 2; ++e) {
        int r = ends[e].open(options.holdOpen);
        if (r == 0 && !links[e]->empty())
            r = ends[e].makeLink(*links[e]);
        if (r != 0) {
            lastErrno = -r;
            ends[0].close();
            ends[1].close();
            return r;
        }
    }
    opened = true;
    return 0;
}

int VirtualLine::start()
{
    if (int r = open(); r != 0)
        return r;
    if (thread.joinable() || reason.load() != LineEndReason::Running)
        return -EALREADY;
    try {
        thread = std::thread([this] { loop(); });
    } catch (const std::system_error& e) {
        return -e.code().value();
    }
    return 0;
}

LineEndReason VirtualLine::run()
{
    if (open() != 0) {
        reason = LineEndReason::Failed;
        return reason;
    }
    return loop();
}

void VirtualLine::stop()
{
    stopRequested = true;
    if (wakeWrite >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeWrite, &c, 1);
    }
}

LineEndReason VirtualLine::wait()
{
    if (thread.joinable())
        thread.join();
    return reason.load();
}

DirectionStats VirtualLine::stats(int direction) const
{
    std::lock_guard<std::mutex> lock(statsMutex);
    return published[direction];
}

void VirtualLine::publishStats()
{
    std::lock_guard<std::mutex> lock(statsMutex);
    published[0] = shapers[0].stats();
    published[1] = shapers[1].stats();
}
