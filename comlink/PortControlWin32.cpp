// The serial port over the Win32 communications API: line settings, flow
// control, modem lines, break, events, line status and the settings dump.
#include "comlink/Win32CommPort.h"

#include "comlink/PortCommon.h"
#include "comlink/PortDump.h"

int Win32CommPort::setLineSettings(int baud, char parity, int dataBits, int stopBits)
{
    if (!dcb)
        return lastError = COMM_GENERAL_FAILURE;
    // Bytes still on their way would go out at the new settings, garbled.
    if (handle != INVALID_HANDLE_VALUE)
        awaitOutputSent();
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

void Win32CommPort::writeFlowPlan(const FlowPlan& plan)
{
    dcb->fInX = plan.inX;
    dcb->fOutX = plan.outX;
    if (plan.rtsHandshake)
        dcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
    else if (dcb->fRtsControl == RTS_CONTROL_HANDSHAKE)
        dcb->fRtsControl = RTS_CONTROL_ENABLE;
    if (plan.dtrHandshake)
        dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
    else if (dcb->fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fOutxCtsFlow = plan.ctsOutput;
    dcb->fOutxDsrFlow = plan.dsrOutput;
}

void Win32CommPort::setOutputLine(int id, bool on)
{
    // The changed record takes effect with the next SetCommState; the line
    // itself changes now.
    if (id == SIG_DTR) {
        if (dcb)
            dcb->fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        EscapeCommFunction(handle, on ? SETDTR : CLRDTR);
    } else {
        if (dcb)
            dcb->fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        EscapeCommFunction(handle, on ? SETRTS : CLRRTS);
    }
}

int Win32CommPort::readModemInput(int mask)
{
    DWORD status = 0;
    if (!GetCommModemStatus(handle, &status))
        return 0;
    return (status & static_cast<DWORD>(mask)) ? 1 : 0;
}

int Win32CommPort::refreshModemStatus()
{
    if (!latchErrors())
        return lastError = COMM_DEVICE_FAULT;
    DWORD status = 0;
    GetCommModemStatus(handle, &status);
    modemStatus = static_cast<int>(status & 0xFF);
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
    disarmEventWait();
    return SetCommMask(handle, mask) ? 0 : lastSystemError();
}

int Win32CommPort::waitEvent(unsigned& mask)
{
    disarmEventWait();
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
