// Port names on Windows: "Comm N" is the device "\\.\COMN".
#include "comlink/PortNames.h"

#include <cstdio>

#include <windows.h>

std::string portDevicePath(int portIndex)
{
    if (portIndex < 0 || portIndex > 254)
        return {};
    char path[16];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portIndex + 1);
    return path;
}

bool portPresent(int portIndex)
{
    if (portIndex < 0 || portIndex > 254)
        return false;
    // The DOS device name "COMN" exists exactly while the system has a
    // serial device under that name (a plugged-in adapter included).
    char name[8];
    std::snprintf(name, sizeof name, "COM%d", portIndex + 1);
    char target[512];
    return QueryDosDeviceA(name, target, sizeof target) != 0;
}
