// Logic shared by the port implementations: the packed line status, the
// latched line errors and the draining purge.
#pragma once

#include <cstdint>

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
