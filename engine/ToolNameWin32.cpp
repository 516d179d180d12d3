// Programs of the firmware set on Windows: the ".exe" file in the folder.
#include "engine/UpgradeSession.h"

std::string toolFileName(const std::string& baseName)
{
    return baseName + ".exe";
}
