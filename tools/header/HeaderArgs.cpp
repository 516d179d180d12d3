// Command line of the header tool.
#include "tools/header/HeaderArgs.h"

const char* const kHeaderUsage =
    "usage: header + SRC DST STARTHEX ENDHEX   load image of SRC for addresses [START, END)\n"
    "       header c SRC DST                   copy the cable database SRC to DST\n";

std::optional<std::uint32_t> parseHexAddress(std::string_view text)
{
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = (value << 4) | digit;
    }
    return value;
}

std::optional<HeaderCommand> parseHeaderArgs(const std::vector<std::string_view>& args)
{
    if (args.size() == 3 && args[0] == "c") {
        return HeaderCommand{HeaderCommand::Kind::Copy, std::string(args[1]), std::string(args[2])};
    }
    if (args.size() != 5 || args[0] != "+") {
        return std::nullopt;
    }
    const auto start = parseHexAddress(args[3]);
    const auto end = parseHexAddress(args[4]);
    if (!start || !end || *start >= *end || *end - *start > kMaxRegionBytes) {
        return std::nullopt;
    }
    return HeaderCommand{HeaderCommand::Kind::LoadImage, std::string(args[1]), std::string(args[2]),
                         *start, *end};
}
