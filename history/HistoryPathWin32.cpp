// Where the upgrade history lives on Windows: the user's local application data.
#include "history/HistoryStore.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The variable's value as UTF-8; "" when it is not set.
std::string environmentText(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    if (value == nullptr || *value == L'\0')
        return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return "";
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}

}  // namespace

std::string HistoryStore::defaultPath()
{
    if (std::string file = environmentText(L"UNITFLASH_HISTORY"); !file.empty())
        return file;
    const std::string data = environmentText(L"LOCALAPPDATA");
    if (data.empty())
        return "";
    return data + "\\unitflash\\history.sqlite3";
}
