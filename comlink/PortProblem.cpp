// Telling a missing, busy and forbidden serial port apart.
#include "comlink/PortProblem.h"

#include <filesystem>

#include "comlink/CommPort.h"
#include "comlink/PortNames.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char* kWhereToLook = "Device Manager, \"Ports (COM & LPT)\"";
#else
constexpr const char* kWhereToLook = "ls /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*";
#endif

// False when this user lacks the rights to open the device (POSIX); Windows
// reports that through the open itself.
bool userMayOpen(const std::string& device)
{
#ifdef _WIN32
    (void)device;
    return true;
#else
    return ::access(device.c_str(), R_OK | W_OK) == 0;
#endif
}

}  // namespace

std::string portOpenProblem(const std::string& portName, int error)
{
    const int index = parsePortName(portName);
    const std::string device = index >= 0 ? portDevicePath(index) : portName;
    const std::string shown = device.empty() || device == portName ? portName : portName + " (" + device + ")";
    if (error == COMM_PORT_IN_USE)
        return shown + " is in use by another program (another unitflash run, a terminal program, a modem"
                       " manager). Close it and try again.";
    std::error_code ec;
    const bool present = index >= 0 ? portPresent(index) : std::filesystem::exists(device, ec);
    if (!present)
        return shown + " does not exist. Is the adapter plugged in? Pick the port it appears as ("
               + kWhereToLook + ").";
    if (!userMayOpen(device))
        return shown + " may not be opened by this user. Add yourself to the group that owns it (usually:"
                       " sudo usermod -aG dialout $USER), then log in again.";
    return shown + " cannot be opened (port error " + std::to_string(error) + ").";
}

std::string describePort(const std::string& portName)
{
    const int index = parsePortName(portName);
    if (index < 0)
        return portName;
    const std::string path = portDevicePath(index);
    if (path.empty())
        return portName + " (no such device)";
    return portName + " (" + path + (portPresent(index) ? "" : ", not present") + ")";
}
