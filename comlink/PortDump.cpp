// Text formatting shared by the settings dumps of the ports and holders.
#include "comlink/PortDump.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
const char kParityChars[] = "NOEMS";
}

int parityCode(char parity)
{
    const char* p = parity ? std::strchr(kParityChars, parity) : nullptr;
    return p ? static_cast<int>(p - kParityChars) : -1;
}

char parityChar(int code)
{
    return code >= 0 && code < 5 ? kParityChars[code] : '?';
}

void sinkLine(const LineSink& sink, const char* format, ...)
{
    if (!sink)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sink(line);
}

void dumpDeviceControl(const char* portType, const DeviceControl& dc, const QueueStatus& q,
                       const LineSink& sink)
{
    sinkLine(sink, "Port type: %s  BaudRate: %-6u  ByteSize: %1d  Parity: %1d", portType,
             dc.baudRate, dc.byteSize, dc.parity);
    sinkLine(sink, "StopBits: %1d  fBinary: %1d  fRtsControl: %1d", dc.stopBits, dc.binary,
             dc.rtsControl);
    sinkLine(sink,
             "Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  InX: %1d",
             dc.parityCheck, dc.outxCtsFlow, dc.outxDsrFlow, dc.dtrControl, dc.outX, dc.inX);
    sinkLine(sink, "Null: %1d  XonChar: %02x  XoffChar: %02x", dc.discardNull, dc.xonChar,
             dc.xoffChar);
    sinkLine(sink, "XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x", dc.xonLimit,
             dc.xoffLimit, dc.eofChar, dc.evtChar);
    sinkLine(sink, "RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d",
             q.rxSize, q.rxCount, q.txSize, q.txCount, q.blockFlags & 1, (q.blockFlags >> 1) & 1);
}
