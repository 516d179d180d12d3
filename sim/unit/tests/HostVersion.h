// Test helper: reads a version out of an "idn? k" reply the way a host does.
#pragma once

#include <cstdlib>
#include <string>

// Six characters after the first "(", skipping two more when "(K" occurs
// anywhere; -1 when the reply holds no "(".
inline double hostVersion(const std::string& reply)
{
    std::size_t p = reply.find('(');
    if (p == std::string::npos)
        return -1;
    std::size_t from = reply.find("(K") != std::string::npos ? p + 3 : p + 1;
    return std::atof(reply.substr(from, 6).c_str());
}
