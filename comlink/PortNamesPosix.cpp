// Port names on POSIX: "Comm N" is an entry of UNITFLASH_PORTS or the N-th
// serial device present.
#include "comlink/PortNames.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> listFromEnvironment(const char* list)
{
    std::vector<std::string> paths;
    std::string s(list);
    std::size_t start = 0;
    for (;;) {
        const auto comma = s.find(',', start);
        paths.push_back(trim(s.substr(start, comma == std::string::npos ? comma : comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return paths;
}

// The legacy UART nodes /dev/ttyS0..31 exist whether or not a UART is
// fitted; sysfs tells the port type, 0 when there is no hardware. Without
// sysfs every node counts.
bool uartPresent(const std::string& name)
{
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = 1;
    if (type)
        type >> value;
    return value != 0;
}

// Device names in /dev that begin with prefix and end in a number, in
// number order.
std::vector<std::string> devicesWithPrefix(const std::string& prefix)
{
    std::vector<std::pair<long, std::string>> found;
    if (DIR* dir = opendir("/dev")) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const std::string digits = name.substr(prefix.size());
            if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (prefix == "ttyS" && !uartPresent(name))
                continue;
            found.emplace_back(std::strtol(digits.c_str(), nullptr, 10), "/dev/" + name);
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& f : found)
        paths.push_back(std::move(f.second));
    return paths;
}

std::vector<std::string> serialDevices()
{
    std::vector<std::string> paths;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        auto more = devicesWithPrefix(prefix);
        paths.insert(paths.end(), more.begin(), more.end());
    }
    return paths;
}

} // namespace

std::string portDevicePath(int portIndex)
{
    if (portIndex < 0)
        return {};
    const char* list = std::getenv("UNITFLASH_PORTS");
    const auto paths = list ? listFromEnvironment(list) : serialDevices();
    return static_cast<std::size_t>(portIndex) < paths.size() ? paths[portIndex] : std::string();
}

bool portPresent(int portIndex)
{
    const std::string path = portDevicePath(portIndex);
    return !path.empty() && ::access(path.c_str(), F_OK) == 0;
}
