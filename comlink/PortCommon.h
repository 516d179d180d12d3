// Logic shared by the port implementations: the packed line status, the
// latched line errors, the draining purge and the wait for output to leave
// before the line settings change.
#pragma once

#include <cstdint>
#include <functional>

#include "comlink/Clock.h"
#include "comlink/CommPort.h"

// Line errors latched between two line-status reads (bit values as the
// Windows driver reports them, so both ports keep the same latch).
enum LineErrorBit : std::uint32_t {
    LINE_ERR_RX_OVERFLOW = 0x01,
    LINE_ERR_OVERRUN = 0x02,
    LINE_ERR_PARITY = 0x04,
    LINE_ERR_FRAMING = 0x08,
    LINE_ERR_BREAK = 0x10,
};

// Modem input lines as kept in a port's modemStatus.
enum ModemStatusBit : int {
    MODEM_CTS_ON = 0x10,
    MODEM_DSR_ON = 0x20,
    MODEM_RING_ON = 0x40,
    MODEM_RLSD_ON = 0x80,
};

// The answer of the signal query for ids that are not output lines or
// BREAK: modem inputs from modemStatus (0/1), change flags 0 (not kept),
// latched errors from errorLatch (0/1), and 2 for an unknown id.
int querySignal(int id, int modemStatus, std::uint32_t errorLatch);

// Queries (value -1) every signal of the packed status through
// port.signal() and packs the answers, two bits each.
void packLineStatus(CommPort& port, PackedLineStatus out);

// purge(0, count > 0): reads until nothing is waiting (0); -801 when count
// reads in a row each returned a character (the line keeps talking).
int drainInput(CommPort& port, int count);

// Milliseconds the line needs to carry `bytes` characters at baud with the
// framing given (a start bit, the data bits, a parity bit unless parity is
// 'N', the stop bits), rounded up; 0 for no bytes, at least 1 otherwise. A
// rate of 0 or less counts as 9600.
int lineTimeMs(long bytes, int baud, int dataBits, char parity, int stopBits);

// When the bytes a port handed to its driver have left the line, as far as
// the port can tell, and the wait for them before the line settings change:
// bytes still on their way when the rate changes go out at the new rate,
// garbled (the last command before a port is put back, say).
class OutputDrain {
public:
    // The longest the wait goes on beyond the time the driver's queue needs.
    static constexpr int kMarginMs = 500;

    // The driver took bytes that need lineMs on the line, at tick now: they
    // go out behind what the line still carries.
    void wrote(int lineMs, std::uint32_t now);
    // Waits until queued() reads 0 and the line has had the time the bytes
    // written need, pausing with pause(ms) between looks. The time counts
    // because a UART's transmit FIFO or a USB adapter's buffer holds bytes
    // the driver no longer reports as queued. lineMs(n) is the time n bytes
    // need at the settings in force. Never longer than lineMs(bytes queued at
    // the start) + kMarginMs of clock: a line held by flow control, a far
    // end that does not read or a driver that never reports an empty queue
    // does not stop the change. True when the output left, false when the
    // bound ended the wait; either way the next wait starts afresh.
    bool await(Clock& clock, const std::function<long()>& queued,
               const std::function<int(long)>& lineMs, const std::function<void(int)>& pause);

private:
    std::uint32_t busyUntil = 0;  // tick at which the line finishes sending
    bool busy = false;            // busyUntil holds: written since the last wait
};
