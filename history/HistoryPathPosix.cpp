// Where the upgrade history lives on POSIX: the XDG data folder.
#include "history/HistoryStore.h"

#include <cstdlib>

std::string HistoryStore::defaultPath()
{
    if (const char* file = std::getenv("UNITFLASH_HISTORY"); file != nullptr && *file != '\0')
        return file;
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        data = std::string(home) + "/.local/share";
    else
        return "";
    return data + "/unitflash/history.sqlite3";
}
