// The virtual serial line's byte pump: reads both masters, shapes, delivers.
#include "sim/line/VirtualLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace {

// A direction stops reading its sending end while this many bytes wait on
// its wire or for the receiving end, so that a slow line pushes back on
// the writer as a real UART's full queue does.
constexpr std::size_t kMaxBacklog = 4096;
// How often the ends' speeds are looked at while nothing else happens.
constexpr std::int64_t kSpeedPollNs = 20'000'000;
// How long an ending line keeps trying to hand over what it still holds
// to an end that does not read.
constexpr std::int64_t kDrainLimitNs = 2'000'000'000;
constexpr std::int64_t kLingerPollNs = 5'000'000;
constexpr std::int64_t kBlindLingerNs = 500'000'000;
// The wake pipe and the two ends.
constexpr nfds_t kPollSetSize = 3;

std::int64_t monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void VirtualLine::refreshSpeed(int end)
{
    int baud = ends[end].currentBaud();
    if (speeds[end].exchange(baud) != baud && options.onSpeed)
        options.onSpeed(end, baud);
}

// Speed matching. A termios change makes no event on the master, so the
// line cannot tell when a client changed its speed, only what the speed
// is when it looks. It looks at each end just before it blocks in poll
// and again when it reads an end's bytes (or hands bytes to an end); a
// byte was written (or arrives) between the two looks, so the speed in
// force then is one of the two, unless the client changed it twice in
// that short stretch. A byte is lost only when the sender's speed differs
// from the receiver's at every pair of looks.
//
// Judging by either look rather than the later one keeps the byte a
// client writes just before it changes its speed: a host that writes its
// last byte and then closes its port (which puts the old speed back) must
// not lose that byte. A client that sets a wrong speed and writes at once
// may thus get a byte through, but only when the speed was set after the
// line last went to sleep (within a speed poll); a speed set before that
// is seen by both looks and its bytes are lost. A reply to such a byte
// comes at least one poll later and is judged at the wrong speed alone, so
// no exchange ever completes at a wrong speed.
void VirtualLine::sampleSpeedsBeforePoll()
{
    for (int e = 0; e < 2; ++e) {
        refreshSpeed(e);
        polledBaud[e] = speeds[e].load();
        // Bytes left unread (the line pushed back) may be older than this
        // poll: keep the look from before they were written.
        if (readToEmpty[e])
            unreadSinceBaud[e] = polledBaud[e];
    }
}

// Reads what end wrote into its direction. False when the read failed for
// a reason other than "nothing more now" or a hang-up.
bool VirtualLine::readEnd(int end, std::int64_t nowNs)
{
    std::uint8_t buf[4096];
    for (;;) {
        std::size_t room = kMaxBacklog - std::min(kMaxBacklog, shapers[end].backlog() + outBuffers[end].size());
        if (room == 0 && !endClosed[end]) {
            readToEmpty[end] = false;
            return true;
        }
        ssize_t n = ::read(ends[end].masterFd(), buf, endClosed[end] ? sizeof buf : std::min(room, sizeof buf));
        if (n > 0) {
            if (options.onRead)
                options.onRead(end, buf, static_cast<std::size_t>(n));
            refreshSpeed(end);
            shapers[end].push(buf, static_cast<std::size_t>(n), nowNs,
                              BaudWindow{unreadSinceBaud[end], speeds[end].load()});
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: all read; EIO: the slave is closed and drained.
        if (n == 0 || errno == EAGAIN || errno == EIO) {
            readToEmpty[end] = true;
            return true;
        }
        lastErrno = errno;
        return false;
    }
}

void VirtualLine::deliver(int direction, std::int64_t nowNs, bool all)
{
    int receiver = 1 - direction;
    dueBytes.clear();
    if (all)
        shapers[direction].takeAll(dueBytes);
    else
        shapers[direction].takeDue(nowNs, dueBytes);
    if (dueBytes.empty())
        return;
    if (options.speedMatch)
        refreshSpeed(receiver);
    BaudWindow receiving{polledBaud[receiver], speeds[receiver].load()};
    for (const WireByte& b : dueBytes) {
        if (options.speedMatch && !b.sender.mayMatch(receiving))
            shapers[direction].countSpeedLoss();
        else if (!endClosed[receiver])
            outBuffers[direction].push_back(b.value);
    }
}

// Writes what direction has delivered to its receiving end. False when
// the bytes still wait (the end's input is full).
bool VirtualLine::flushOut(int direction)
{
    std::vector<std::uint8_t>& out = outBuffers[direction];
    int receiver = 1 - direction;
    while (!out.empty()) {
        ssize_t n = ::write(ends[receiver].masterFd(), out.data(), out.size());
        if (n > 0) {
            lastWriteNs[receiver] = monotonicNs();
            shapers[direction].countDelivered(static_cast<std::size_t>(n));
            out.erase(out.begin(), out.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return false;
        // Nobody can read them any more.
        out.clear();
    }
    return true;
}

LineEndReason VirtualLine::loop()
{
    startNs = lastByteNs = monotonicNs();
    endingSinceNs = -1;
    // Report both ends once at the start, then at every change.
    for (int e = 0; e < 2; ++e) {
        speeds[e] = ends[e].currentBaud();
        polledBaud[e] = unreadSinceBaud[e] = speeds[e].load();
        if (options.onSpeed)
            options.onSpeed(e, speeds[e].load());
    }

    LineEndReason result = LineEndReason::Running;
    while (result == LineEndReason::Running) {
        const std::int64_t now = monotonicNs();
        for (int d = 0; d < 2; ++d) {
            deliver(d, now, false);
            flushOut(d);
        }
        publishStats();

        if (stopRequested.load()) {
            result = LineEndReason::Stopped;
            break;
        }
        if (endingSinceNs >= 0 && endingDone(now)) {
            result = LineEndReason::EndClosed;
            break;
        }
        std::int64_t deadline = -1;
        result = nextDeadline(now, deadline);
        if (result != LineEndReason::Running)
            break;
        pollfd fds[kPollSetSize];
        buildPollSet(fds);
        sampleSpeedsBeforePoll();
        ++sleepCount;
        if (pollUntil(fds, deadline) < 0) {
            if (errno == EINTR)
                continue;
            lastErrno = errno;
            result = LineEndReason::Failed;
            break;
        }
        result = handleEvents(fds);
    }

    publishStats();
    for (PtyEnd& end : ends)
        end.close();
    reason = result;
    return result;
}

// An ending line ends once nothing is left on its wires and the end that
// stayed has read what it was given, or after kDrainLimitNs in any case.
bool VirtualLine::endingDone(std::int64_t now)
{
    bool empty = true;
    for (int d = 0; d < 2; ++d)
        empty = empty && shapers[d].backlog() == 0 && outBuffers[d].empty();
    // Closing a master throws away what its slave has not read: give the
    // end that stayed a moment to read its last bytes. When the unread
    // bytes cannot be seen, a fixed pause has to do.
    for (int e = 0; e < 2 && empty; ++e) {
        if (endClosed[e] || now - lastWriteNs[e] >= kBlindLingerNs)
            continue;
        empty = ends[e].unreadInput() == 0;
    }
    return empty || now - endingSinceNs > kDrainLimitNs;
}

// The time the next poll must wake by (-1: only an event wakes it): the
// limits, the bytes due on the wires, the linger of an ending line and the
// next look at the speeds. TimeLimit or IdleLimit when a limit has passed.
LineEndReason VirtualLine::nextDeadline(std::int64_t now, std::int64_t& deadline)
{
    const bool ending = endingSinceNs >= 0;
    deadline = -1;
    auto wakeBy = [&deadline](std::int64_t t) {
        if (t >= 0 && (deadline < 0 || t < deadline))
            deadline = t;
    };
    if (options.timeLimitMs > 0) {
        std::int64_t limit = startNs + options.timeLimitMs * 1'000'000LL;
        if (now >= limit)
            return LineEndReason::TimeLimit;
        wakeBy(limit);
    }
    if (options.idleLimitMs > 0 && !ending) {
        std::int64_t limit = lastByteNs + options.idleLimitMs * 1'000'000LL;
        if (now >= limit)
            return LineEndReason::IdleLimit;
        wakeBy(limit);
    }
    wakeBy(shapers[0].nextDueNs());
    wakeBy(shapers[1].nextDueNs());
    if (ending)
        wakeBy(std::min(endingSinceNs + kDrainLimitNs, now + kLingerPollNs));
    // Termios changes make no event on the master: look before every
    // poll, and wake now and then to look again.
    wakeBy(now + kSpeedPollNs);
    return LineEndReason::Running;
}

// The wake pipe, then each end: read while its direction has room (and the
// line is not ending), written while bytes wait for it. A closed end hangs
// up for good; polling it would spin.
void VirtualLine::buildPollSet(pollfd* fds) const
{
    const bool ending = endingSinceNs >= 0;
    fds[0] = {wakeRead, POLLIN, 0};
    for (int e = 0; e < 2; ++e) {
        short events = 0;
        if (!endClosed[e]) {
            if (!ending && shapers[e].backlog() + outBuffers[e].size() < kMaxBacklog)
                events |= POLLIN;
            if (!outBuffers[1 - e].empty())
                events |= POLLOUT;
        }
        fds[1 + e] = {endClosed[e] ? -1 : ends[e].masterFd(), events, 0};
    }
}

// ppoll() until an event or the deadline (-1: no deadline); its result.
int VirtualLine::pollUntil(pollfd* fds, std::int64_t deadline)
{
    timespec ts{};
    timespec* timeout = nullptr;
    if (deadline >= 0) {
        std::int64_t wait = std::max<std::int64_t>(0, deadline - monotonicNs());
        ts.tv_sec = static_cast<time_t>(wait / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(wait % 1'000'000'000);
        timeout = &ts;
    }
    return ppoll(fds, kPollSetSize, timeout, nullptr);
}

// Empties the wake pipe and reads each end that has bytes or hung up; an
// end its client closed starts the line's ending. Failed when a read failed.
LineEndReason VirtualLine::handleEvents(const pollfd* fds)
{
    if (fds[0].revents & POLLIN) {
        char drain[64];
        while (::read(wakeRead, drain, sizeof drain) > 0) {
        }
    }
    const std::int64_t now = monotonicNs();
    for (int e = 0; e < 2; ++e) {
        short rev = fds[1 + e].revents;
        if (endClosed[e] || !(rev & (POLLIN | POLLHUP | POLLERR)))
            continue;
        bool closed = ends[e].closedByClient(rev);
        if (closed)
            endClosed[e] = true;  // read what it wrote before it went
        std::uint64_t before = shapers[e].stats().bytesIn;
        if (((rev & POLLIN) || closed) && !readEnd(e, now))
            return LineEndReason::Failed;
        if (shapers[e].stats().bytesIn != before)
            lastByteNs = now;
        if (closed) {
            // Nothing more goes to the closed end.
            outBuffers[1 - e].clear();
            dueBytes.clear();
            shapers[1 - e].takeAll(dueBytes);
            if (endingSinceNs < 0)
                endingSinceNs = now;
        }
    }
    return LineEndReason::Running;
}
