// Names of the serial ports: "Comm N" and the device behind it.
#pragma once

#include <string>

// The device path behind "Comm N" (portIndex N - 1); empty when there is no
// such port. Windows: "\\.\COMN". POSIX: entry N of the comma-separated list
// in the environment variable UNITFLASH_PORTS when it is set; otherwise the
// N-th serial device present, USB adapters first (/dev/ttyUSB*, /dev/ttyACM*,
// then /dev/ttyS*, each in natural number order). POSIX looks at the
// environment and /dev on every call, so a freshly plugged adapter shows up.
std::string portDevicePath(int portIndex);

// True when the device behind "Comm N" (portIndex N - 1) is on this machine
// now, found without opening it (so a port held by another program still
// counts). Windows: the system lists COMN among its devices (QueryDosDevice).
// POSIX: portDevicePath names a path that exists. Any thread may call it.
bool portPresent(int portIndex);

// The portIndex that a name of the form "Comm N", "CommN" or "COMN" (any
// case, N >= 1) stands for; -1 for any other name.
int parsePortName(const std::string& name);
