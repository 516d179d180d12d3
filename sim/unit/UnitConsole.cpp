// Command recognition and reply texts of the unit's boot console.
#include "sim/unit/UnitConsole.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "sim/unit/FlashMemory.h"

namespace {

constexpr std::size_t kMaxLine = 200;

std::string trim(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

bool parseHex(const std::string& text, std::uint32_t& value)
{
    if (text.empty() || text.size() > 8)
        return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        int digit = std::isdigit(static_cast<unsigned char>(c))
                        ? c - '0'
                        : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        v = (v << 4) | static_cast<std::uint32_t>(digit);
    }
    value = v;
    return true;
}

UnitConsole::UnitConsole(const UnitIdentity& identity) : identity(identity) {}

std::vector<ConsoleLine> UnitConsole::take(const std::uint8_t* bytes, std::size_t count)
{
    std::vector<ConsoleLine> lines;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = bytes[i];
        raw.push_back(static_cast<char>(b));
        bool cr = b == '\r';
        if (b == '\n' && lastWasCr) {
            lastWasCr = false;  // the LF of a CR LF pair
            continue;
        }
        lastWasCr = cr;
        if (cr || b == '\n') {
            lines.push_back({partial, std::string(1, static_cast<char>(b)), raw});
            partial.clear();
            raw.clear();
        } else if (b == 0x08 || b == 0x7F) {
            if (!partial.empty())
                partial.pop_back();
        } else if (b >= 0x20 && b < 0x7F && partial.size() < kMaxLine) {
            partial.push_back(static_cast<char>(b));
        }
    }
    return lines;
}

void UnitConsole::clearLine()
{
    partial.clear();
    raw.clear();
    lastWasCr = false;
}

std::string UnitConsole::prompt() const
{
    return "\r\n" + identity.promptText() + ">>";
}

std::string UnitConsole::banner() const
{
    return std::string("\r\nCable tester ") + identity.kindName() + " boot console " +
           identity.versionText() + prompt();
}

std::string UnitConsole::afterUpload(bool ok, const std::string& detail) const
{
    return std::string("\r\nbtx ") + (ok ? "OK" : "FAILED") +
           (detail.empty() ? "" : " " + detail) + prompt();
}

std::string UnitConsole::afterDownload(bool ok) const
{
    return std::string("\r\nxmodem ") + (ok ? "OK" : "FAILED") + prompt();
}

ConsoleReply UnitConsole::execute(const std::string& rawLine) const
{
    ConsoleReply reply;
    std::string line = trim(rawLine);
    if (line.empty()) {
        reply.text = prompt();
        return reply;
    }
    if (line == "getuid") {
        const std::string serial = identity.noSerial ? "" : "SN=" + identity.serial + " ";
        reply.text = "\r\n" + serial + "Model=" + (identity.jModel ? "J" : "") + std::to_string(identity.model) +
                     prompt();
        return reply;
    }
    if (line == "idn? k") {
        std::string version = identity.plainVersion ? "(" + identity.versionText() + ")"
                                                    : "(K " + identity.versionText() + ")";
        reply.text = std::string("\r\nCable tester ") + identity.kindName() + ", firmware " +
                     version + prompt();
        return reply;
    }
    if (line == "btx") {
        reply.action = ConsoleReply::Receive;
        return reply;
    }
    if (line == "boot" || line == "reboot") {
        reply.action = ConsoleReply::Restart;
        return reply;
    }
    std::istringstream words(line);
    std::string word, address, length, go, extra;
    words >> word >> address >> length >> go;
    if (word == "xmodem") {
        std::uint32_t a = 0, n = 0;
        if (!(words >> extra) && go == "G" && parseHex(address, a) && parseHex(length, n) &&
            n > 0 && FlashMemory::contains(a, n)) {
            reply.action = ConsoleReply::Send;
            reply.address = a;
            reply.length = n;
        } else {
            reply.text = "\r\nERR usage: xmodem ADDR LEN G (hex, inside 0..FFFFF)" + prompt();
        }
        return reply;
    }
    reply.text = "\r\nERR unknown command" + prompt();
    return reply;
}
