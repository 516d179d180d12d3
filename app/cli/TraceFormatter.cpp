// The readable serial trace: text lines, transfer frames and control bytes.
#include "app/cli/TraceFormatter.h"

#include <cstdio>

#include "transfer/BlockCheck.h"

namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;

// A pause this long ends a text run, so each line keeps its own time.
constexpr std::uint32_t kTextGapMs = 500;
// A frame still incomplete after this silence was cut short on the line.
constexpr std::uint32_t kFrameGapMs = 1000;
// A text run without line feeds is cut at this length.
constexpr std::size_t kLongestText = 160;

const char* controlName(std::uint8_t b)
{
    switch (b) {
    case kEot:
        return "EOT";
    case kAck:
        return "ACK";
    case kNak:
        return "NAK";
    case kCan:
        return "CAN";
    default:
        return nullptr;
    }
}

bool onlyStartRequests(const std::string& text)
{
    return !text.empty() && text.find_first_not_of('C') == std::string::npos;
}

}  // namespace

std::string TraceFormatter::stamp(std::uint32_t timeMs)
{
    char text[24];
    std::snprintf(text, sizeof text, "%6u.%03u", timeMs / 1000, timeMs % 1000);
    return text;
}

std::string TraceFormatter::escape(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out.push_back(static_cast<char>(c));
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            }
        }
    }
    return out;
}

void TraceFormatter::line(TraceDirection dir, std::uint32_t timeMs, const std::string& text,
                          std::vector<std::string>& out)
{
    out.push_back(stamp(timeMs) + (dir == TraceDirection::Sent ? " -> " : " <- ") + text);
}

void TraceFormatter::endText(Side& side, TraceDirection dir, std::vector<std::string>& out)
{
    if (side.text.empty())
        return;
    if (onlyStartRequests(side.text)) {
        crc = true;
        framesSeen = false;
        std::string cs;
        for (std::size_t i = 0; i < side.text.size(); ++i)
            cs += i == 0 ? "C" : " C";
        line(dir, side.textStart, cs + " (start request, CRC)", out);
    } else {
        line(dir, side.textStart, "\"" + escape(side.text) + "\"", out);
    }
    side.text.clear();
}

void TraceFormatter::endFrame(Side& side, TraceDirection dir, std::vector<std::string>& out)
{
    if (side.frame.empty())
        return;
    const char* kind = side.frame[0] == kSoh ? "SOH" : "STX";
    std::string text = kind;
    if (side.frame.size() >= 2)
        text += " block " + std::to_string(side.frame[1]);
    const std::size_t data = side.frame[0] == kSoh ? 128 : 1024;
    if (side.frameLength == 0 || side.frame.size() < side.frameLength) {
        text += " (truncated: " + std::to_string(side.frame.size()) + " of "
            + std::to_string(3 + data + (crc ? 2 : 1)) + " bytes)";
    } else {
        const std::uint8_t* payload = side.frame.data() + 3;
        bool ok;
        if (crc) {
            Crc16 check;
            const unsigned sum = check.compute(payload, static_cast<unsigned>(data), 0);
            ok = side.frame[3 + data] == (sum >> 8) && side.frame[4 + data] == (sum & 0xff);
        } else {
            Checksum8 check;
            ok = side.frame[3 + data] == (check.compute(payload, static_cast<unsigned>(data), 0) & 0xff);
        }
        text += " (" + std::to_string(data) + " bytes, " + (crc ? "CRC " : "checksum ") + (ok ? "ok)" : "BAD)");
    }
    line(dir, side.frameStart, text, out);
    side.frame.clear();
    side.frameLength = 0;
}

void TraceFormatter::frameByte(Side& side, TraceDirection dir, std::uint8_t byte, std::vector<std::string>& out)
{
    side.frame.push_back(byte);
    if (side.frame.size() == 3) {
        if (static_cast<std::uint8_t>(side.frame[1] + side.frame[2]) != 0xff) {
            // Not a frame after all: the bytes are shown as text.
            std::vector<std::uint8_t> bytes;
            bytes.swap(side.frame);
            side.text.assign(bytes.begin(), bytes.end());
            side.textStart = side.frameStart;
            return;
        }
        side.frameLength = 3 + (side.frame[0] == kSoh ? 128 : 1024) + (crc ? 2 : 1);
        // From here a NAK answers a frame; it no longer picks the check.
        framesSeen = true;
    }
    if (side.frameLength != 0 && side.frame.size() >= side.frameLength)
        endFrame(side, dir, out);
}

void TraceFormatter::take(Side& side, TraceDirection dir, std::uint8_t byte, std::uint32_t timeMs,
                          std::vector<std::string>& out)
{
    if (!side.frame.empty()) {
        frameByte(side, dir, byte, out);
        return;
    }
    if (byte == kSoh || byte == kStx) {
        endText(side, dir, out);
        side.frame.push_back(byte);
        side.frameStart = timeMs;
        return;
    }
    if (const char* name = controlName(byte)) {
        endText(side, dir, out);
        if (byte == kNak && !framesSeen)
            crc = false;  // a NAK before any frame asks for the checksum
        if (byte == kEot || byte == kCan)
            framesSeen = false;
        line(dir, timeMs, name, out);
        return;
    }
    if (side.text.empty())
        side.textStart = timeMs;
    side.text.push_back(static_cast<char>(byte));
    if (byte == '\n' || side.text.size() >= kLongestText)
        endText(side, dir, out);
}

std::vector<std::string> TraceFormatter::feed(TraceDirection dir, const std::uint8_t* bytes, std::size_t n,
                                              std::uint32_t timeMs)
{
    std::vector<std::string> out;
    if (n == 0)
        return out;
    Side& side = sideOf(dir);
    Side& other = sideOf(dir == TraceDirection::Sent ? TraceDirection::Received : TraceDirection::Sent);
    const TraceDirection otherDir = dir == TraceDirection::Sent ? TraceDirection::Received : TraceDirection::Sent;
    // The other side's text is over once this side speaks; its frame was
    // cut short when this side answers it before it is whole.
    endText(other, otherDir, out);
    if (!other.frame.empty() && controlName(bytes[0]) != nullptr && bytes[0] != kEot)
        endFrame(other, otherDir, out);
    if (!side.frame.empty() && timeMs - side.last >= kFrameGapMs)
        endFrame(side, dir, out);
    if (!side.text.empty() && timeMs - side.last >= kTextGapMs)
        endText(side, dir, out);
    for (std::size_t i = 0; i < n; ++i)
        take(side, dir, bytes[i], timeMs, out);
    side.last = timeMs;
    return out;
}

std::vector<std::string> TraceFormatter::note(const std::string& text, std::uint32_t timeMs)
{
    std::vector<std::string> out;
    endText(sent, TraceDirection::Sent, out);
    endText(received, TraceDirection::Received, out);
    out.push_back(stamp(timeMs) + " == " + text);
    return out;
}

std::vector<std::string> TraceFormatter::flush()
{
    std::vector<std::string> out;
    endFrame(sent, TraceDirection::Sent, out);
    endText(sent, TraceDirection::Sent, out);
    endFrame(received, TraceDirection::Received, out);
    endText(received, TraceDirection::Received, out);
    return out;
}
