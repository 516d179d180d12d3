// Pass-through of every port operation to the inner port.
#include "comlink/ForwardingPort.h"

int ForwardingPort::mirror(int r)
{
    lastError = inner()->lastError;
    return r;
}

int ForwardingPort::idle() { return mirror(inner()->idle()); }
int ForwardingPort::refreshModemStatus() { return mirror(inner()->refreshModemStatus()); }
int ForwardingPort::configure() { return mirror(inner()->configure()); }
int ForwardingPort::open() { return mirror(inner()->open()); }
int ForwardingPort::close() { return mirror(inner()->close()); }
int ForwardingPort::queueStatus(QueueStatus& out, int mode) { return mirror(inner()->queueStatus(out, mode)); }
int ForwardingPort::setQueueSizes(int rxSize, int xoffLimit, int txSize)
{
    return mirror(inner()->setQueueSizes(rxSize, xoffLimit, txSize));
}
int ForwardingPort::setFlowControl(int inKind, int outKind) { return mirror(inner()->setFlowControl(inKind, outKind)); }
int ForwardingPort::getFlowControl(int& inKind, int& outKind) { return mirror(inner()->getFlowControl(inKind, outKind)); }
int ForwardingPort::breakControl(int value) { return mirror(inner()->breakControl(value)); }
int ForwardingPort::signal(int id, int value) { return mirror(inner()->signal(id, value)); }
int ForwardingPort::setLineSettings(int baud, char parity, int dataBits, int stopBits)
{
    return mirror(inner()->setLineSettings(baud, parity, dataBits, stopBits));
}
int ForwardingPort::getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits)
{
    return mirror(inner()->getLineSettings(baud, parity, dataBits, stopBits));
}
int ForwardingPort::lineStatus(PackedLineStatus out) { return mirror(inner()->lineStatus(out)); }
int ForwardingPort::writeChar(int ch) { return mirror(inner()->writeChar(ch)); }
int ForwardingPort::writeString(const char* text) { return mirror(inner()->writeString(text)); }
int ForwardingPort::write(const std::uint8_t* bytes, unsigned len) { return mirror(inner()->write(bytes, len)); }
int ForwardingPort::sendPriorityChar(int ch) { return mirror(inner()->sendPriorityChar(ch)); }
int ForwardingPort::readChar() { return mirror(inner()->readChar()); }
int ForwardingPort::read(std::uint8_t* bytes, unsigned len) { return mirror(inner()->read(bytes, len)); }
int ForwardingPort::purge(int which, int count) { return mirror(inner()->purge(which, count)); }
int ForwardingPort::dumpSettings(const LineSink& sink) { return mirror(inner()->dumpSettings(sink)); }
int ForwardingPort::idleFor(int maxWaitMs) { return mirror(inner()->idleFor(maxWaitMs)); }
