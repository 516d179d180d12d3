// Creates the serial port on POSIX: a PosixCommPort.
#include "comlink/PortFactory.h"

#include "comlink/PortNames.h"
#include "comlink/PosixCommPort.h"

std::unique_ptr<CommPort> openCommPort(int portIndex, int rxQueueSize, int txQueueSize)
{
    return std::make_unique<PosixCommPort>(portIndex, rxQueueSize, txQueueSize);
}

std::unique_ptr<CommPort> openCommPort(const std::string& name, int rxQueueSize, int txQueueSize)
{
    const int index = parsePortName(name);
    if (index >= 0)
        return openCommPort(index, rxQueueSize, txQueueSize);
    return std::make_unique<PosixCommPort>(name, rxQueueSize, txQueueSize);
}
