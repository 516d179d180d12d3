// Version numbers read out of console replies, the control file and the
// resume log.
#include "engine/VersionText.h"

#include <cmath>
#include <cstdlib>

double leadingDecimal(const std::string& text)
{
    // atof stops at the first character that cannot continue a number; the
    // copy makes the text NUL-terminated whatever it held.
    const std::string copy(text.c_str());
    const double value = std::atof(copy.c_str());
    // "nan", "inf" or an exponent beyond double's range is no version: the
    // gates compare versions with < and >, which a NaN would pass.
    return std::isfinite(value) ? value : 0.0;
}

double versionAt(const std::string& text, std::size_t start)
{
    return start < text.size() ? leadingDecimal(text.substr(start, 6)) : 0.0;
}

bool parseVersion(const std::string& reply, double& version)
{
    const std::size_t p = reply.find('(');
    if (p == std::string::npos)
        return false;
    const std::size_t start = reply.find("(K") != std::string::npos ? p + 3 : p + 1;
    version = versionAt(reply, start);
    return true;
}
