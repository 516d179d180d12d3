// The serial port interface: the process-wide port-use table and the default
// bodies that stop the process when a port class leaves an operation out.
#include "comlink/CommPort.h"

#include "comlink/LibraryError.h"

namespace {

const char* const kModule = "COMLINK";

std::uint16_t useCounts[kPortUseEntries] = {};

} // namespace

std::uint16_t* portUseCount(int portIndex)
{
    if (portIndex < 0 || portIndex >= kPortUseEntries)
        return nullptr;
    return &useCounts[portIndex];
}

CommPort::CommPort() = default;
CommPort::~CommPort() = default;

// Each default body names the line its diagnostic has always reported, so a
// report from the field identifies the operation.
int CommPort::idle() { libraryError(kModule, 241); }
int CommPort::refreshModemStatus() { libraryError(kModule, 243); }
int CommPort::configure() { libraryError(kModule, 245); }
int CommPort::open() { libraryError(kModule, 247); }
int CommPort::close() { libraryError(kModule, 249); }
int CommPort::queueStatus(QueueStatus&, int) { libraryError(kModule, 251); }
int CommPort::setQueueSizes(int, int, int) { libraryError(kModule, 255); }
int CommPort::setFlowControl(int, int) { libraryError(kModule, 257); }
int CommPort::getFlowControl(int&, int&) { libraryError(kModule, 259); }
int CommPort::breakControl(int) { libraryError(kModule, 261); }
int CommPort::signal(int, int) { libraryError(kModule, 263); }
int CommPort::setLineSettings(int, char, int, int) { libraryError(kModule, 265); }
int CommPort::getLineSettings(int&, char&, int&, int&) { libraryError(kModule, 267); }
int CommPort::lineStatus(PackedLineStatus) { libraryError(kModule, 269); }
int CommPort::writeChar(int) { libraryError(kModule, 271); }
int CommPort::writeString(const char*) { libraryError(kModule, 273); }
int CommPort::write(const std::uint8_t*, unsigned) { libraryError(kModule, 275); }
int CommPort::sendPriorityChar(int) { libraryError(kModule, 277); }
int CommPort::readChar() { libraryError(kModule, 279); }
int CommPort::read(std::uint8_t*, unsigned) { libraryError(kModule, 281); }
int CommPort::purge(int, int) { libraryError(kModule, 283); }
int CommPort::dumpSettings(const LineSink&) { libraryError(kModule, 285); }
int CommPort::reserved23() { return COMM_NOT_SUPPORTED; }
int CommPort::reserved24() { return COMM_NOT_SUPPORTED; }
