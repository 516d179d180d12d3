// Settings of the virtual serial line: per-direction pacing, latency and faults.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

// A stretch of line noise: from byte index atByte on, `length` bytes of the
// direction's stream are each replaced, with probability `rate`, by a random
// byte. The random bytes depend only on the seed and the byte index, so a
// run is repeatable whatever the timing.
struct NoiseBurst {
    std::uint64_t atByte = 0;
    std::uint32_t length = 0;
    double rate = 1.0;
    std::uint32_t seed = 1;
};

// The line holds its bytes for durationMs before byte index atByte goes out;
// bytes sent meanwhile queue up behind it.
struct Stall {
    std::uint64_t atByte = 0;
    int durationMs = 0;
};

// One direction of the line. Byte indices count the bytes the sending end
// wrote into this direction, from 0.
struct DirectionOptions {
    int baud = 0;          // pace at baud/10 bytes per second; 0 = unpaced
    int latencyUs = 0;     // fixed delay added to every byte
    std::set<std::uint64_t> drop;       // bytes lost on the wire
    std::set<std::uint64_t> corrupt;    // bytes XORed with corruptMask
    std::set<std::uint64_t> duplicate;  // bytes delivered twice
    std::uint8_t corruptMask = 0xFF;
    std::vector<NoiseBurst> noise;
    std::vector<Stall> stalls;
};

// The two ends of the line.
enum LineEndId : int { END_A = 0, END_B = 1 };

// Called on the line's thread with an end and the baud rate its termios now
// holds (0 when the speed is not a standard rate): once for each end when
// the line starts and again at every change.
using SpeedHook = std::function<void(int end, int baud)>;

// Called on the line's thread with each chunk the line reads from an end,
// before any shaping: what that end's client wrote.
using ReadHook = std::function<void(int end, const std::uint8_t* bytes, std::size_t count)>;

struct LineOptions {
    DirectionOptions aToB;
    DirectionOptions bToA;
    // Bytes are lost, as a UART loses them to framing errors, when the
    // speed the sending end had set when it wrote a byte differs from the
    // speed the receiving end has set when the byte arrives. The line sees
    // a speed only when it looks; a speed changed within a moment of the
    // byte may count as either (VirtualLine.cpp tells how).
    bool speedMatch = false;
    // Keep a slave descriptor of each end open inside the line, so that a
    // client may close its end and open it again (data written meanwhile
    // waits for it). The line then cannot see a client close its end and
    // ends only by stop(), timeLimitMs or idleLimitMs. When false the line
    // ends, after delivering what is still on the wire, once an end that
    // was opened is closed by its last user.
    bool holdOpen = false;
    int timeLimitMs = 0;   // end after this long; 0 = no limit
    int idleLimitMs = 0;   // end after this long without a byte; 0 = none
    // Symbolic links made to the two slave paths (empty = none); removed
    // when the line ends. An existing symbolic link is replaced; any other
    // file in the way is an error.
    std::string linkA;
    std::string linkB;
    SpeedHook onSpeed;
    ReadHook onRead;
};

// Applies one "key=value" setting to a direction. Keys: baud=N,
// latency-us=N, drop=I[,I...], corrupt=I[,I...], dup=I[,I...], mask=0xNN,
// noise=AT:LENGTH[:RATE[:SEED]], stall=AT:MS. Returns an empty string on
// success, else a message naming the faulty setting (the direction is then
// left as it was).
std::string applyDirectionSetting(DirectionOptions& dir, const std::string& setting);
