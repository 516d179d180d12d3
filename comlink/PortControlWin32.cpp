// The serial port over the Win32 communications API: line settings, flow
// control, modem lines, break, events, line status and the settings dump.
#include "comlink/Win32CommPort.h"

#include "comlink/PortCommon.h"
#include "comlink/PortDump.h"

int Win32CommPort::setLineSettings(int baud, char parity, int dataBits, int stopBits)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    const int code = parityCode(parity);
    if (code < 0)
        return lastError = COMM_BAD_PARITY;
    dcb->Parity = static_cast<BYTE>(code);
    dcb->BaudRate = static_cast<DWORD>(baud);
    if (dataBits < 4 || dataBits > 8)
        return lastError = COMM_BAD_DATA_BITS;
    dcb->ByteSize = static_cast<BYTE>(dataBits);
    if (stopBits < 1 || stopBits > 2)
        return lastError = COMM_BAD_STOP_BITS;
    dcb->StopBits = dataBits == 5 ? ONE5STOPBITS : stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
    if (!SetCommState(handle, dcb))
        return lastError = lastSystemError();
    return 0;
}

int Win32CommPort::getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    baud = static_cast<int>(dcb->BaudRate);
    parity = parityChar(dcb->Parity);
    dataBits = dcb->ByteSize;
    stopBits = dcb->StopBits == TWOSTOPBITS ? 2 : 1;
    return 0;
}

int Win32CommPort::setFlowControl(int inKind, int outKind)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    dcb->fInX = 0;
    dcb->fOutX = 0;
    if (dcb->fRtsControl == RTS_CONTROL_HANDSHAKE)
        dcb->fRtsControl = RTS_CONTROL_ENABLE;
    if (dcb->fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fOutxCtsFlow = 0;
    dcb->fOutxDsrFlow = 0;
    switch (inKind) {
    case 0: break;
    case SIG_XONXOFF: dcb->fInX = 1; break;
    case SIG_DTR: dcb->fDtrControl = DTR_CONTROL_HANDSHAKE; break;
    case SIG_RTS: dcb->fRtsControl = RTS_CONTROL_HANDSHAKE; break;
    case SIG_DSR: return lastError = COMM_NOT_SUPPORTED;
    default: lastError = COMM_BAD_INPUT_FLOW; return COMM_GENERAL_FAILURE;
    }
    switch (outKind) {
    case 0: break;
    case SIG_XONXOFF: dcb->fOutX = 1; break;
    case SIG_CTS: dcb->fOutxCtsFlow = 1; break;
    case SIG_DSR: dcb->fOutxDsrFlow = 1; break;
    case SIG_DCD: return lastError = COMM_NOT_SUPPORTED;
    default: return lastError = COMM_BAD_OUTPUT_FLOW;
    }
    if (!SetCommState(handle, dcb))
        return lastError = lastSystemError();
    inputFlow = inKind;
    outputFlow = outKind;
    return 0;
}

int Win32CommPort::getFlowControl(int& inKind, int& outKind)
{
    inKind = inputFlow;
    outKind = outputFlow;
    return 0;
}

int Win32CommPort::breakControl(int value)
{
    if (value < 0)
        return breakState;
    const BOOL ok = value == 1 ? SetCommBreak(handle) : ClearCommBreak(handle);
    if (!ok)
        return lastError = COMM_BREAK_FAILED;
    breakState = static_cast<std::uint16_t>(value & 0xFFFF);
    return value & 0xFFFF;
}

int Win32CommPort::signal(int id, int value)
{
    if (id == SIG_BREAK)
        return breakControl(value);
    if ((id == SIG_DTR || id == SIG_RTS) && value != -1) {
        const bool on = value != 0;
        // The changed record takes effect with the next SetCommState; the
        // line itself changes now.
        if (id == SIG_DTR) {
            dtrOn = on;
            if (dcb)
                dcb->fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
            EscapeCommFunction(handle, on ? SETDTR : CLRDTR);
        } else {
            rtsOn = on;
            if (dcb)
                dcb->fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
            EscapeCommFunction(handle, on ? SETRTS : CLRRTS);
        }
    }
    switch (id) {
    case SIG_DTR: return testModemLine(1);
    case SIG_RTS: return testModemLine(2);
    case SIG_CTS: return testModemLine(MS_CTS_ON);
    case SIG_DSR: return testModemLine(MS_DSR_ON);
    case SIG_RI: return testModemLine(MS_RING_ON);
    case SIG_DCD: return testModemLine(MS_RLSD_ON);
    default: return querySignal(id, modemStatus, errorLatch);
    }
}

int Win32CommPort::testModemLine(int mask)
{
    if (mask == 1)
        return dtrOn;
    if (mask == 2)
        return rtsOn;
    DWORD status = 0;
    if (!GetCommModemStatus(handle, &status))
        return 0;
    return (status & static_cast<DWORD>(mask)) ? 1 : 0;
}

int Win32CommPort::refreshModemStatus()
{
    latchErrors();
    DWORD status = 0;
    GetCommModemStatus(handle, &status);
    modemStatus = static_cast<int>(status & 0xFF);
    return 0;
}

int Win32CommPort::lineStatus(PackedLineStatus out)
{
    refreshModemStatus();
    packLineStatus(*this, out);
    modemStatus = 0;
    errorLatch = 0;
    return 0;
}

int Win32CommPort::setQueueSizes(int rxSize, int xoffLimit, int txSize)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    purge(0, 0);
    purge(1, 0);
    if (rxSize != 0)
        rxQueueSize = static_cast<std::uint16_t>(rxSize & 0xFFFF);
    if (txSize != 0)
        txQueueSize = static_cast<std::uint16_t>(txSize & 0xFFFF);
    dcb->XonLim = static_cast<WORD>(rxSize / 4);
    if (xoffLimit != 0)
        dcb->XoffLim = static_cast<WORD>(xoffLimit);
    SetupComm(handle, rxQueueSize, txQueueSize);
    purge(0, 0);
    purge(1, 0);
    if (!SetCommState(handle, dcb))
        return lastError = lastSystemError();
    return 0;
}

int Win32CommPort::setEventChar(int ch)
{
    if (!dcb)
        return 0;
    GetCommState(handle, dcb);
    dcb->EvtChar = static_cast<char>(ch);
    return SetCommState(handle, dcb) ? 1 : 0;
}

int Win32CommPort::getEventMask(unsigned& mask)
{
    DWORD m = 0;
    if (!GetCommMask(handle, &m))
        return lastSystemError();
    mask = m;
    return 0;
}

int Win32CommPort::setEventMask(unsigned mask)
{
    return SetCommMask(handle, mask) ? 0 : lastSystemError();
}

int Win32CommPort::waitEvent(unsigned& mask)
{
    DWORD m = 0;
    if (!WaitCommEvent(handle, &m, nullptr))
        return lastSystemError();
    mask = m;
    return 0;
}

int Win32CommPort::dumpSettings(const LineSink& sink)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    auto byte = [](char c) { return static_cast<unsigned>(static_cast<unsigned char>(c)); };
    DeviceControl dc;
    dc.baudRate = dcb->BaudRate;
    dc.byteSize = dcb->ByteSize;
    dc.parity = dcb->Parity;
    dc.stopBits = dcb->StopBits;
    dc.binary = dcb->fBinary;
    dc.parityCheck = dcb->fParity;
    dc.outxCtsFlow = dcb->fOutxCtsFlow;
    dc.outxDsrFlow = dcb->fOutxDsrFlow;
    dc.dtrControl = dcb->fDtrControl;
    dc.rtsControl = dcb->fRtsControl;
    dc.outX = dcb->fOutX;
    dc.inX = dcb->fInX;
    dc.discardNull = dcb->fNull;
    dc.xonChar = byte(dcb->XonChar);
    dc.xoffChar = byte(dcb->XoffChar);
    dc.xonLimit = dcb->XonLim;
    dc.xoffLimit = dcb->XoffLim;
    dc.eofChar = byte(dcb->EofChar);
    dc.evtChar = byte(dcb->EvtChar);
    QueueStatus q;
    queueStatus(q, 7);
    dumpDeviceControl("MS Win32", dc, q, sink);
    return 0;
}
