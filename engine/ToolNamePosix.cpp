// Programs of the firmware set on POSIX: no suffix, started from the folder.
#include "engine/UpgradeSession.h"

std::string toolFileName(const std::string& baseName)
{
    return "./" + baseName;
}
