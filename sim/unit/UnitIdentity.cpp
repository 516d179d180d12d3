// Identity checks and the version text of the virtual unit.
#include "sim/unit/UnitIdentity.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

const char* UnitIdentity::kindName() const
{
    return kind == UnitKind::Display ? "Display Handset" : "Remote Handset";
}

std::string UnitIdentity::versionText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%5.3f", version);
    return text;
}

std::string UnitIdentity::problem() const
{
    if (model != 7300 && model != 7350 && model != 7355 && model != 7410)
        return "model must be 7300, 7350, 7355 or 7410";
    if (serial.size() != 9)
        return "serial number must have 9 characters";
    for (char c : serial)
        if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'Z'))
            return "serial number may hold only upper-case letters and digits";
    if (!(version > 0.0 && version < 100.0))
        return "version must be a number between 0 and 100";
    if (baud != 38400 && baud != 57600)
        return "baud rate must be 38400 or 57600";
    return "";
}

bool parseUnitKind(const std::string& text, UnitKind& kind)
{
    if (text == "ne" || text == "NE") {
        kind = UnitKind::Display;
        return true;
    }
    if (text == "fe" || text == "FE") {
        kind = UnitKind::Remote;
        return true;
    }
    return false;
}

double leadingNumber(const std::string& text)
{
    // strtod also takes hexadecimal, "inf" and "nan"; a version is plain
    // decimal, so only digits, one point and a leading sign are allowed.
    std::string number;
    bool point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            number += c;
        else if (c == '.' && !point)
            point = true, number += c;
        else if ((c == '-' || c == '+') && i == 0)
            number += c;
        else
            break;
    }
    return std::strtod(number.c_str(), nullptr);
}

double defaultUnitVersion(int model)
{
    return model == 7410 ? 2.013 : 1.221;
}

double consoleVersion(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return leadingNumber(text);
}
