// The platform-independent half of the port names: parsing "Comm N".
#include "comlink/PortNames.h"

#include <cctype>

int parsePortName(const std::string& name)
{
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    std::size_t i = 0;
    for (const char c : {'c', 'o', 'm'}) {
        if (i >= name.size() || lower(name[i]) != c)
            return -1;
        ++i;
    }
    if (i < name.size() && lower(name[i]) == 'm')
        ++i;
    if (i < name.size() && name[i] == ' ')
        ++i;
    if (i == name.size() || name.size() - i > 4)
        return -1;
    int number = 0;
    for (; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1 ? number - 1 : -1;
}
