// Creates the serial port of the platform.
#pragma once

#include <memory>
#include <string>

#include "comlink/CommPort.h"

// Opens "Comm portIndex+1" with the platform's port class (POSIX termios or
// Win32). Never null; the caller checks lastError (0 = usable).
std::unique_ptr<CommPort> openCommPort(int portIndex, int rxQueueSize, int txQueueSize);

// Opens a port by name: "Comm N" (also "COMN") or a device path. Never
// null; the caller checks lastError.
std::unique_ptr<CommPort> openCommPort(const std::string& name, int rxQueueSize, int txQueueSize);
