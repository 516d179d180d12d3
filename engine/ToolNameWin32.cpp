// Programs of the firmware set on Windows: the ".exe" file in the folder.
#include "engine/UpgradeSession.h"

std::string toolFileName(const std::string& baseName)
{
    return baseName + ".exe";
}

bool toolRunnable(const std::string& path)
{
    // Windows runs any ".exe" it can open; there is no execute bit to look at.
    return fileReadable(path);
}
