// Creates the serial port on Windows: a Win32CommPort.
#include "comlink/PortFactory.h"

#include "comlink/PortNames.h"
#include "comlink/Win32CommPort.h"

std::unique_ptr<CommPort> openCommPort(int portIndex, int rxQueueSize, int txQueueSize)
{
    return std::make_unique<Win32CommPort>(portIndex, rxQueueSize, txQueueSize);
}

std::unique_ptr<CommPort> openCommPort(const std::string& name, int rxQueueSize, int txQueueSize)
{
    // "Comm N", "COMN" and the device path "\\.\COMN" all name a port index;
    // anything else gets index -1, which the port refuses with -828.
    const std::string prefix = "\\\\.\\";
    const std::string bare = name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : name;
    return openCommPort(parsePortName(bare), rxQueueSize, txQueueSize);
}
