// Port names on Windows: "Comm N" is the device "\\.\COMN".
#include "comlink/PortNames.h"

#include <cstdio>

std::string portDevicePath(int portIndex)
{
    if (portIndex < 0 || portIndex > 254)
        return {};
    char path[16];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portIndex + 1);
    return path;
}
