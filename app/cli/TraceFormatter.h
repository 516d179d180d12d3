// Turns the bytes on the serial line into a trace a person can read:
// console text as quoted lines, transfer frames summarised one per block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TraceDirection {
    Sent,      // host to unit, shown "->"
    Received,  // unit to host, shown "<-"
};

// Groups the bytes of each direction: text runs end at a line feed, when
// the other direction speaks, or after a pause; a frame (SOH or STX, block
// number and its complement) is collected whole and shown as one line with
// its block and check; ACK, NAK, CAN and EOT show by name, and a lone "C"
// as the receiver's start request. Each line starts with the time of its
// first byte in seconds with milliseconds. Pure: no I/O, no clock; the
// caller passes the time of each piece. One thread.
class TraceFormatter {
public:
    // Bytes that moved at timeMs. Returns the lines finished by them.
    std::vector<std::string> feed(TraceDirection dir, const std::uint8_t* bytes, std::size_t n,
                                  std::uint32_t timeMs);
    // A line about the port itself (open, rate, purge), after the pending
    // text of both directions.
    std::vector<std::string> note(const std::string& text, std::uint32_t timeMs);
    // Ends whatever is pending (a partial line, a truncated frame).
    std::vector<std::string> flush();

    // Seconds with milliseconds, right-aligned: "   12.345".
    static std::string stamp(std::uint32_t timeMs);
    // Text with control bytes, quotes and backslashes escaped (\r \n \t \xHH).
    static std::string escape(const std::string& text);

private:
    struct Side {
        std::string text;
        std::uint32_t textStart = 0;
        std::uint32_t last = 0;            // time of the side's latest byte
        std::vector<std::uint8_t> frame;
        std::uint32_t frameStart = 0;
        std::size_t frameLength = 0;       // the whole frame's size once the header is known
    };

    void take(Side& side, TraceDirection dir, std::uint8_t byte, std::uint32_t timeMs,
              std::vector<std::string>& out);
    void frameByte(Side& side, TraceDirection dir, std::uint8_t byte, std::vector<std::string>& out);
    void endText(Side& side, TraceDirection dir, std::vector<std::string>& out);
    void endFrame(Side& side, TraceDirection dir, std::vector<std::string>& out);
    void line(TraceDirection dir, std::uint32_t timeMs, const std::string& text, std::vector<std::string>& out);
    Side& sideOf(TraceDirection dir) { return dir == TraceDirection::Sent ? sent : received; }

    Side sent;
    Side received;
    bool crc = true;          // the receiver asked for CRC-16 ("C") or the checksum (NAK)
    bool framesSeen = false;  // a frame began since the last start of a transfer
};
