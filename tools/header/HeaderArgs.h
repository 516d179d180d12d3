// Command line of the header tool: "+ SRC DST STARTHEX ENDHEX" or "c SRC DST".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The largest region "+" accepts; the unit's flash address space is far
// smaller, so a bigger range is a mistyped address, not a request.
inline constexpr std::uint32_t kMaxRegionBytes = 0x1000000;

struct HeaderCommand {
    enum class Kind { LoadImage, Copy } kind = Kind::Copy;
    std::string source;
    std::string target;
    std::uint32_t start = 0;  // LoadImage only
    std::uint32_t end = 0;
};

// A hexadecimal address as the main program writes it: 1 to 8 digits, either
// case, no prefix, no sign, nothing after it.
std::optional<std::uint32_t> parseHexAddress(std::string_view text);

// The command in `args` (the words after the program name), or nothing when
// they are not one of the two forms or the range is empty, reversed or
// larger than kMaxRegionBytes.
std::optional<HeaderCommand> parseHeaderArgs(const std::vector<std::string_view>& args);

// The usage text, two lines.
extern const char* const kHeaderUsage;
