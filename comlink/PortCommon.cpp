// Logic shared by the port implementations: the packed line status, the
// latched line errors, the draining purge and the wait for output to leave
// before the line settings change.
#include "comlink/PortCommon.h"

#include <algorithm>

int querySignal(int id, int modemStatus, std::uint32_t errorLatch)
{
    switch (id) {
    case SIG_CTS: return (modemStatus & MODEM_CTS_ON) ? 1 : 0;
    case SIG_DSR: return (modemStatus & MODEM_DSR_ON) ? 1 : 0;
    case SIG_RI: return (modemStatus & MODEM_RING_ON) ? 1 : 0;
    case SIG_DCD: return (modemStatus & MODEM_RLSD_ON) ? 1 : 0;
    case SIG_CTS_CHANGED:
    case SIG_DSR_CHANGED:
    case SIG_RI_EDGE:
    case SIG_DCD_CHANGED: return 0;
    case SIG_OVERRUN: return (errorLatch & LINE_ERR_OVERRUN) ? 1 : 0;
    case SIG_PARITY_ERROR: return (errorLatch & LINE_ERR_PARITY) ? 1 : 0;
    case SIG_FRAMING_ERROR: return (errorLatch & LINE_ERR_FRAMING) ? 1 : 0;
    case SIG_BREAK_DETECTED: return (errorLatch & LINE_ERR_BREAK) ? 1 : 0;
    case SIG_RX_OVERFLOW: return (errorLatch & LINE_ERR_RX_OVERFLOW) ? 1 : 0;
    default: return 2;
    }
}

void packLineStatus(CommPort& port, PackedLineStatus out)
{
    // Signals in packing order: byte by byte, lowest pair first.
    static const int order[16] = {
        SIG_DTR,         SIG_RTS,         SIG_BREAK,         SIG_DSR,
        SIG_CTS,         SIG_RI,          SIG_DCD,           SIG_DCD_CHANGED,
        SIG_RI_EDGE,     SIG_CTS_CHANGED, SIG_DSR_CHANGED,   SIG_BREAK_DETECTED,
        SIG_PARITY_ERROR, SIG_FRAMING_ERROR, SIG_RX_OVERFLOW, SIG_OVERRUN,
    };
    for (int b = 0; b < 4; ++b) {
        unsigned byte = 0;
        for (int p = 0; p < 4; ++p)
            byte |= (static_cast<unsigned>(port.signal(order[4 * b + p], -1)) & 3u) << (2 * p);
        out[b] = static_cast<std::uint8_t>(byte);
    }
}

int drainInput(CommPort& port, int count)
{
    for (int i = 0; i < count; ++i) {
        if (port.readChar() == COMM_NO_CHARACTER)
            return 0;
    }
    // count characters in a row and still no gap: the line keeps talking.
    return COMM_GENERAL_FAILURE;
}

int lineTimeMs(long bytes, int baud, int dataBits, char parity, int stopBits)
{
    if (bytes <= 0)
        return 0;
    const long long bits = 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits;
    const long long rate = baud > 0 ? baud : 9600;
    const long long ms = (static_cast<long long>(bytes) * bits * 1000 + rate - 1) / rate;
    return ms < 1 ? 1 : ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
}

namespace {

// How often a wait for the driver's queue looks at it again, at most.
constexpr int kDrainPollMs = 10;
// Keeps a wait's end within half the clock's range, where tick comparisons
// hold (a queue this slow to leave is not waited for anyway).
constexpr int kLongestLineMs = 0x3FFFFFFF - OutputDrain::kMarginMs;

} // namespace

void OutputDrain::wrote(int lineMs, std::uint32_t now)
{
    if (!busy || !tickBefore(now, busyUntil))
        busyUntil = now;
    busyUntil += static_cast<std::uint32_t>(std::clamp(lineMs, 0, kLongestLineMs));
    busy = true;
}

bool OutputDrain::await(Clock& clock, const std::function<long()>& queued,
                        const std::function<int(long)>& lineMs,
                        const std::function<void(int)>& pause)
{
    long waiting = queued();
    const std::uint32_t deadline =
        clock.tickMs() + static_cast<std::uint32_t>(std::min(lineMs(waiting), kLongestLineMs) + kMarginMs);
    for (;;) {
        const std::uint32_t now = clock.tickMs();
        const bool lineBusy = busy && tickBefore(now, busyUntil);
        if (waiting <= 0 && !lineBusy) {
            busy = false;
            return true;
        }
        if (!tickBefore(now, deadline)) {
            busy = false;
            return false;
        }
        // While the driver holds bytes, look again as they leave; after
        // that, sleep out the time the line still needs.
        int step = waiting > 0 ? std::clamp(lineMs(waiting), 1, kDrainPollMs)
                               : static_cast<int>(busyUntil - now);
        step = std::min(step, static_cast<int>(deadline - now));
        pause(step);
        waiting = queued();
    }
}
