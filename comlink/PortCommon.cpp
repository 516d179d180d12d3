// Logic shared by the port implementations: the packed line status, the
// latched line errors and the draining purge.
#include "comlink/PortCommon.h"

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
