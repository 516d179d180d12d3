// Parses the "key=value" direction settings of the virtual line.
#include "sim/line/LineOptions.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace {

bool parseU64(std::string_view text, std::uint64_t& out, int base = 10)
{
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X")))
        text.remove_prefix(2);
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseInt(std::string_view text, int& out, int maxValue)
{
    std::uint64_t v = 0;
    if (!parseU64(text, v) || v > static_cast<std::uint64_t>(maxValue))
        return false;
    out = static_cast<int>(v);
    return true;
}

bool parseRate(std::string_view text, double& out)
{
    std::string s(text);
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !(v >= 0.0 && v <= 1.0))
        return false;
    out = v;
    return true;
}

std::vector<std::string_view> split(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? text.npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

bool parseIndexList(std::string_view text, std::set<std::uint64_t>& out)
{
    std::set<std::uint64_t> indices;
    for (auto part : split(text, ',')) {
        std::uint64_t v = 0;
        if (!parseU64(part, v))
            return false;
        indices.insert(v);
    }
    out.insert(indices.begin(), indices.end());
    return true;
}

bool parseNoise(std::string_view text, NoiseBurst& out)
{
    auto parts = split(text, ':');
    if (parts.size() < 2 || parts.size() > 4)
        return false;
    std::uint64_t length = 0;
    std::uint64_t seed = out.seed;
    if (!parseU64(parts[0], out.atByte) || !parseU64(parts[1], length) || length > UINT32_MAX)
        return false;
    out.length = static_cast<std::uint32_t>(length);
    if (parts.size() > 2 && !parseRate(parts[2], out.rate))
        return false;
    if (parts.size() > 3 && (!parseU64(parts[3], seed) || seed > UINT32_MAX))
        return false;
    out.seed = static_cast<std::uint32_t>(seed);
    return true;
}

bool parseStall(std::string_view text, Stall& out)
{
    auto parts = split(text, ':');
    return parts.size() == 2 && parseU64(parts[0], out.atByte)
        && parseInt(parts[1], out.durationMs, 3600 * 1000);
}

} // namespace

std::string applyDirectionSetting(DirectionOptions& dir, const std::string& setting)
{
    std::size_t eq = setting.find('=');
    std::string_view key = std::string_view(setting).substr(0, eq);
    std::string_view value = eq == std::string::npos ? std::string_view()
                                                     : std::string_view(setting).substr(eq + 1);
    DirectionOptions next = dir;
    bool ok = false;
    if (eq == std::string::npos) {
        ok = false;
    } else if (key == "baud") {
        ok = parseInt(value, next.baud, 10'000'000);
    } else if (key == "latency-us") {
        ok = parseInt(value, next.latencyUs, 60'000'000);
    } else if (key == "drop") {
        ok = parseIndexList(value, next.drop);
    } else if (key == "corrupt") {
        ok = parseIndexList(value, next.corrupt);
    } else if (key == "dup") {
        ok = parseIndexList(value, next.duplicate);
    } else if (key == "mask") {
        std::uint64_t mask = 0;
        ok = parseU64(value, mask, 16) && mask > 0 && mask <= 0xFF;
        next.corruptMask = static_cast<std::uint8_t>(mask);
    } else if (key == "noise") {
        NoiseBurst burst;
        ok = parseNoise(value, burst);
        next.noise.push_back(burst);
    } else if (key == "stall") {
        Stall stall;
        ok = parseStall(value, stall);
        next.stalls.push_back(stall);
    }
    if (!ok)
        return "bad line setting \"" + setting + "\"";
    dir = std::move(next);
    return {};
}
