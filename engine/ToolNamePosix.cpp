// Programs of the firmware set on POSIX: no suffix, started from the folder.
#include "engine/UpgradeSession.h"

#include <sys/stat.h>
#include <unistd.h>

std::string toolFileName(const std::string& baseName)
{
    return "./" + baseName;
}

bool toolRunnable(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}
