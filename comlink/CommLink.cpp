// Timed character I/O over a non-blocking CommPort.
#include "comlink/CommLink.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "comlink/LineState.h"
#include "comlink/PortCommon.h"
#include "comlink/PortSettings.h"

CommLink::CommLink(CommPort* port_, Clock* clock_)
    : port(port_), clock(clock_ ? clock_ : &systemClock())
{
    // A port that failed to open is left alone: there is nothing to
    // remember and nothing to give back.
    if (!port || port->lastError != 0)
        return;
    // Binding remembers the settings the port had and switches to 1200 8N1
    // at once; the link then runs at 9600 8N1.
    settings = new PortSettings(this);
    settings->set(9600, 'N', 8, 1);
    lineState = new LineState(this);
    port->setFlowControl(0, 0);
}

CommLink::~CommLink()
{
    if (lineState) {
        lineState->restore();
        delete lineState;
    }
    if (settings) {
        settings->restore();
        delete settings;
    }
}

int CommLink::readChar(int timeoutMs)
{
    const std::uint32_t end = clock->tickMs() + static_cast<std::uint32_t>(timeoutMs);
    int ch = port->readChar();
    if (ch >= 0)
        return ch;
    while (tickBefore(clock->tickMs(), end)) {
        const int r = idleUntil(end);
        if (r < 0)
            return r;
        ch = port->readChar();
        if (ch >= 0)
            return ch;
    }
    return COMM_NO_CHARACTER;
}

int CommLink::writeChar(int ch)
{
    const int r = port->writeChar(ch);
    if (charDelayMs == 0)
        return r;
    const std::uint32_t end = clock->tickMs() + static_cast<std::uint32_t>(charDelayMs);
    while (tickBefore(clock->tickMs(), end)) {
        const int i = idleUntil(end);
        if (i < 0)
            return i;
    }
    return r;
}

int CommLink::reserved3()
{
    return COMM_NOT_SUPPORTED;
}

int CommLink::readString(char* buffer, unsigned maxChars, int terminator, int timeoutMs)
{
    if (!buffer)
        return 0;
    // With no room for a character, reading one would write past the
    // caller's one-byte buffer.
    if (maxChars == 0) {
        buffer[0] = '\0';
        return 0;
    }
    const std::uint32_t end = clock->tickMs() + static_cast<std::uint32_t>(timeoutMs);
    unsigned count = 0;
    for (;;) {
        const int ch = readChar(0);
        if (ch == COMM_NO_CHARACTER) {
            if (!tickBefore(clock->tickMs(), end))
                break;
        } else if (ch < 0) {
            // A port code other than "nothing waiting" is no character:
            // storing its low byte would put a made-up byte into the reply.
            return ch;
        } else {
            buffer[count++] = static_cast<char>(ch);
            if (terminator != TERM_NONE && ch == terminator)
                break;
        }
        if (count >= maxChars)
            break;
        const int r = idleUntil(end);
        if (r < 0)
            return r;
    }
    buffer[count] = '\0';
    return static_cast<int>(count);
}

int CommLink::writeLine(const char* text, int terminator)
{
    if (terminator < TERM_CRLF || terminator > 255 || !text)
        return 0;
    const int n = port->writeString(text);
    if (n != static_cast<int>(std::strlen(text)))
        return n;
    switch (terminator) {
    case TERM_NONE:
        return n;
    case TERM_LF:
        return writeChar(0x0A) == 0 ? n + 1 : n;
    case TERM_CRLF:
        if (writeChar(0x0D) != 0)
            return n;
        return writeChar(0x0A) == 0 ? n + 2 : n + 1;
    default:
        return writeChar(terminator) == 0 ? n + 1 : n;
    }
}

int CommLink::write(const std::uint8_t* bytes, int len)
{
    // A negative length would turn into a huge unsigned count at the port.
    if (!bytes || len <= 0)
        return 0;
    return port->write(bytes, static_cast<unsigned>(len));
}

int CommLink::idle()
{
    return port->idle();
}

int CommLink::idle(int maxWaitMs)
{
    return port->idleFor(maxWaitMs);
}

int CommLink::idleUntil(std::uint32_t end)
{
    const auto left = static_cast<std::int32_t>(end - clock->tickMs());
    return port->idleFor(left > 0 ? left : 0);
}

int CommLink::lineTimeMs(int bytes)
{
    int baud = 0, dataBits = 8, stopBits = 1;
    char parity = 'N';
    port->getLineSettings(baud, parity, dataBits, stopBits);
    return ::lineTimeMs(bytes, baud, dataBits, parity, stopBits);
}

int CommLink::rxCount()
{
    QueueStatus q;
    port->queueStatus(q, 1);
    return q.rxCount;
}

int CommLink::txCount()
{
    QueueStatus q;
    port->queueStatus(q, 2);
    return q.txCount;
}

int CommLink::purgeInput(int count)
{
    return port->purge(0, count);
}

int CommLink::wait(int ms)
{
    const std::uint32_t end = clock->tickMs() + static_cast<std::uint32_t>(ms);
    while (tickBefore(clock->tickMs(), end)) {
        const int r = idleUntil(end);
        if (r < 0) {
            restUntil(end, ms);
            return r;
        }
    }
    return 0;
}

void CommLink::restUntil(std::uint32_t end, int ms)
{
    // A dead device fails at once and moves no clock: sleep for real in
    // short steps. A port on a virtual clock moves it as it idles, even when
    // failing, and then no real sleep is needed. The real time slept never
    // exceeds the pause, whatever the link's clock does.
    Clock& real = systemClock();
    const std::uint32_t realEnd = real.tickMs() + static_cast<std::uint32_t>(std::max(ms, 0));
    while (tickBefore(clock->tickMs(), end) && tickBefore(real.tickMs(), realEnd)) {
        const std::uint32_t before = clock->tickMs();
        idleUntil(end);
        if (clock->tickMs() == before) {
            const auto left = std::min<std::uint32_t>(end - before, realEnd - real.tickMs());
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(left, 20)));
        }
    }
}

void CommLink::dump(const LineSink& sink)
{
    if (sink)
        sink("");
    port->dumpSettings(sink);
    if (settings)
        settings->dump(sink);
    if (lineState)
        lineState->dump(sink);
}
