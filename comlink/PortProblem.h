// Why a serial port could not be opened, in words a technician can act on.
#pragma once

#include <string>

// The cause of a failed open of portName ("Comm N" or a device path) that
// ended with the port error `error`: the device is missing, another program
// holds it, this user may not open it (on Linux with the dialout hint), or
// the error number when none of these applies. portName is named as the
// user gave it.
std::string portOpenProblem(const std::string& portName, int error);

// "Comm 2 (/dev/ttyUSB1)" for a port name, "Comm 3 (\\.\COM3, not present)"
// when the system has no such device, the path alone for a path.
std::string describePort(const std::string& portName);
