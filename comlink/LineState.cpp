// Remembers a port's flow control when made and gives it back on restore();
// reads the packed line status.
#include "comlink/LineState.h"

#include "comlink/CommLink.h"
#include "comlink/PortDump.h"

LineState::LineState(CommLink* link) : port(link->port)
{
    refresh();
    port->getFlowControl(oldInputFlow, oldOutputFlow);
    inputFlow = oldInputFlow;
    outputFlow = oldOutputFlow;
}

int LineState::setFlowControl(int inKind, int outKind)
{
    inputFlow = inKind;
    outputFlow = outKind;
    return port->setFlowControl(inKind, outKind);
}

int LineState::getFlowControl(int& inKind, int& outKind)
{
    const int r = port->getFlowControl(inputFlow, outputFlow);
    inKind = inputFlow;
    outKind = outputFlow;
    return r;
}

int LineState::restore()
{
    return setFlowControl(oldInputFlow, oldOutputFlow);
}

int LineState::refresh()
{
    return port->lineStatus(status);
}

namespace {

void storePair(std::uint8_t* status, int byte, int index, int value)
{
    const int shift = 2 * index;
    status[byte] = static_cast<std::uint8_t>((status[byte] & ~(3 << shift)) | ((value & 3) << shift));
}

} // namespace

int LineState::setDtr(int value)
{
    const int r = port->signal(SIG_DTR, value) & 3;
    storePair(status, 0, 0, r);
    return r;
}

int LineState::setRts(int value)
{
    const int r = port->signal(SIG_RTS, value) & 3;
    storePair(status, 0, 1, r);
    return r;
}

int LineState::setBreak(int value)
{
    const int r = port->signal(SIG_BREAK, value);
    // A failed break (-827) is not a break that is on: report the code and
    // leave the recorded state alone.
    if (r < 0)
        return r;
    const int on = r != 0 ? 1 : 0;
    storePair(status, 0, 2, on);
    return on;
}

namespace {

const char* inputFlowName(int kind)
{
    switch (kind) {
    case SIG_XONXOFF: return "XONXOFF";
    case SIG_DTR: return "DTR    ";
    case SIG_RTS: return "RTS    ";
    default: return "NONE   ";
    }
}

const char* outputFlowName(int kind)
{
    switch (kind) {
    case SIG_XONXOFF: return "XONXOFF";
    case SIG_CTS: return "CTS    ";
    case SIG_DSR: return "DSR    ";
    case SIG_RI: return "RI     ";
    case SIG_DCD: return "DCD    ";
    default: return "NONE   ";
    }
}

} // namespace

void LineState::dump(const LineSink& sink) const
{
    sinkLine(sink, "Old Flow IN: %7s  OUT: %7s   New Flow IN: %7s  OUT: %7s   ",
             inputFlowName(oldInputFlow), outputFlowName(oldOutputFlow), inputFlowName(inputFlow),
             outputFlowName(outputFlow));
    // A fresh read, so the dump shows the line as it is now; it also clears
    // the port's error latches.
    std::uint8_t now[4] = {0, 0, 0, 0};
    port->lineStatus(now);
    auto bit = [&now](int byte, int index) { return ((now[byte] >> (2 * index)) & 3) ? '1' : '0'; };
    sinkLine(sink, "DTR: %c  RTS: %c  OE: %c  PE: %c  FE: %c  BD: %c  OV: %c  ", bit(0, 0),
             bit(0, 1), bit(3, 3), bit(3, 0), bit(3, 1), bit(2, 3), bit(3, 2));
    sinkLine(sink, "DSR: %c  CTS: %c  RI: %c  CD: %c  DDSR: %c  DCTS: %c  DRI: %c  DCD: %c  ",
             bit(0, 3), bit(1, 0), bit(1, 1), bit(1, 2), bit(2, 2), bit(2, 1), bit(2, 0),
             bit(1, 3));
}
