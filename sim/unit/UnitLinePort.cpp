// Forwarding port with the unit's line-ending-only input purge.
#include "sim/unit/UnitLinePort.h"

#include "sim/unit/StartRequestClock.h"

UnitLinePort::UnitLinePort(std::unique_ptr<CommPort> inner)
    : owned(std::move(inner)), port(owned.get())
{
    lastError = port->lastError;
    portIndex = port->portIndex;
}

UnitLinePort::UnitLinePort(CommPort& inner) : port(&inner)
{
    lastError = port->lastError;
    portIndex = port->portIndex;
}

UnitLinePort::~UnitLinePort() = default;

// Bytes held back by a purge are input already here: no waiting for them.
int UnitLinePort::idle()
{
    return held.empty() ? ForwardingPort::idle() : 0;
}

// The link's time-outs are in its own clock's milliseconds; the wrapped
// port sleeps real ones.
int UnitLinePort::idleFor(int maxWaitMs)
{
    if (!held.empty())
        return 0;
    return ForwardingPort::idleFor(linkClock ? linkClock->baseSpanMs(maxWaitMs) : maxWaitMs);
}

void UnitLinePort::idleOnClock(const StartRequestClock* clock)
{
    linkClock = clock;
}

int UnitLinePort::queueStatus(QueueStatus& out, int mode)
{
    int r = ForwardingPort::queueStatus(out, mode);
    out.rxCount += static_cast<int>(held.size());
    return r;
}

namespace {

bool isLineEnd(int ch)
{
    return ch == '\r' || ch == '\n';
}

}  // namespace

void UnitLinePort::dropLineEndsUntilData()
{
    dropping = true;
    dropped = 0;
}

int UnitLinePort::endDropping()
{
    dropping = false;
    return dropped;
}

// ch when it passes; -1 when the start-wait filter ate it.
int UnitLinePort::filtered(int ch)
{
    if (!dropping || ch < 0)
        return ch;
    if (isLineEnd(ch)) {
        ++dropped;
        return -1;
    }
    dropping = false;
    return ch;
}

int UnitLinePort::readChar()
{
    for (;;) {
        int ch;
        if (held.empty()) {
            ch = ForwardingPort::readChar();
            if (ch < 0)
                return ch;
        } else {
            ch = held.front();
            held.pop_front();
        }
        if (filtered(ch) >= 0)
            return ch;
    }
}

int UnitLinePort::read(std::uint8_t* bytes, unsigned len)
{
    unsigned n = 0;
    while (n < len && !held.empty()) {
        bytes[n++] = held.front();
        held.pop_front();
    }
    if (n < len) {
        int more = ForwardingPort::read(bytes + n, len - n);
        if (more > 0)
            n += static_cast<unsigned>(more);
    }
    if (!dropping)
        return static_cast<int>(n);
    unsigned kept = 0;
    for (unsigned i = 0; i < n; ++i)
        if (filtered(bytes[i]) >= 0)
            bytes[kept++] = bytes[i];
    return static_cast<int>(kept);
}

int UnitLinePort::purge(int which, int count)
{
    if (which != 0)
        return ForwardingPort::purge(which, count);
    std::uint8_t chunk[256];
    int n;
    while ((n = ForwardingPort::read(chunk, sizeof chunk)) > 0)
        held.insert(held.end(), chunk, chunk + n);
    dropped += static_cast<int>(std::erase_if(held, [](std::uint8_t b) { return isLineEnd(b); }));
    return 0;
}
