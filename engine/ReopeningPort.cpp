// The port that opens its device again after the device went away.
#include "engine/ReopeningPort.h"

#include <utility>

ReopeningPort::ReopeningPort(PortOpener opener_, int portIndex_, int rxQueue_, int txQueue_)
    : opener(std::move(opener_)), rxQueue(rxQueue_), txQueue(txQueue_)
{
    portIndex = portIndex_;
    port = opener(portIndex, rxQueue, txQueue);
    lastError = port->lastError;
    lostFlag = lastError != 0;
}

ReopeningPort::~ReopeningPort() = default;

namespace {

// True when the port turned down the values themselves (a rate, framing or
// handshake it does not have), as opposed to not taking any change now
// because its device is gone or could not be opened.
bool refusedValues(int r, int lastError)
{
    switch (r) {
    case COMM_BAUD_REFUSED:
    case COMM_BAD_PARITY:
    case COMM_BAD_DATA_BITS:
    case COMM_BAD_STOP_BITS:
    case COMM_NOT_SUPPORTED:
    case COMM_BAD_OUTPUT_FLOW: return true;
    default: return lastError == COMM_BAD_INPUT_FLOW;
    }
}

} // namespace

int ReopeningPort::watch(int r)
{
    lastError = port->lastError;
    if (r == COMM_DEVICE_FAULT)
        lostFlag = true;
    return r;
}

bool ReopeningPort::recover()
{
    // Release the dead device first: a POSIX port holds a lock on it, and a
    // Windows handle keeps the name busy.
    port.reset();
    port = opener(portIndex, rxQueue, txQueue);
    lastError = port->lastError;
    if (lastError != 0) {
        lostFlag = true;
        return false;
    }
    bool ok = true;
    if (haveLine)
        ok = port->setLineSettings(baud, parity, dataBits, stopBits) == 0 && ok;
    if (haveFlow)
        ok = port->setFlowControl(inFlow, outFlow) == 0 && ok;
    if (dtr >= 0)
        port->signal(SIG_DTR, dtr);
    if (rts >= 0)
        port->signal(SIG_RTS, rts);
    lastError = port->lastError;
    lostFlag = !ok;
    return ok;
}

int ReopeningPort::idle()
{
    if (lostFlag)
        return COMM_DEVICE_FAULT;
    return watch(port->idle());
}

int ReopeningPort::idleFor(int maxWaitMs)
{
    if (lostFlag)
        return COMM_DEVICE_FAULT;
    return watch(port->idleFor(maxWaitMs));
}

int ReopeningPort::setFlowControl(int inKind, int outKind)
{
    const int r = watch(port->setFlowControl(inKind, outKind));
    if (!refusedValues(r, lastError)) {
        haveFlow = true;
        inFlow = inKind;
        outFlow = outKind;
    }
    return r;
}

int ReopeningPort::signal(int id, int value)
{
    if (id == SIG_DTR)
        dtr = value;
    else if (id == SIG_RTS)
        rts = value;
    return watch(port->signal(id, value));
}

int ReopeningPort::setLineSettings(int baud_, char parity_, int dataBits_, int stopBits_)
{
    // Kept even when the device cannot take them now (it was held by another
    // program at construction, or is gone): the next open puts them on.
    const int r = watch(port->setLineSettings(baud_, parity_, dataBits_, stopBits_));
    if (!refusedValues(r, lastError)) {
        haveLine = true;
        baud = baud_;
        parity = parity_;
        dataBits = dataBits_;
        stopBits = stopBits_;
    }
    return r;
}

int ReopeningPort::readChar()
{
    if (lostFlag)
        return COMM_NO_CHARACTER;
    return watch(port->readChar());
}

int ReopeningPort::read(std::uint8_t* bytes, unsigned len)
{
    if (lostFlag)
        return 0;
    return watch(port->read(bytes, len));
}

int ReopeningPort::write(const std::uint8_t* bytes, unsigned len)
{
    if (lostFlag) {
        lastError = COMM_OUTPUT_INCOMPLETE;
        return 0;
    }
    return watch(port->write(bytes, len));
}

int ReopeningPort::writeChar(int ch)
{
    if (lostFlag)
        return COMM_OUTPUT_INCOMPLETE;
    return watch(port->writeChar(ch));
}
