// Timed character I/O over a non-blocking CommPort: read with a time-out,
// read a reply, write a line, write a buffer, wait.
#pragma once

#include <cstdint>

#include "comlink/Clock.h"
#include "comlink/CommPort.h"

class PortSettings;
class LineState;

// Line endings for writeLine.
enum LineTerminator : int {
    TERM_NONE = -1,
    TERM_LF = -2,
    TERM_CRLF = -3,
};

// Every time-out is in milliseconds of the link's clock, measured from the
// start of the call; every wait polls the port and, between polls, calls its
// idleFor() with the time the call has left, so a port that can sleep until
// input arrives does so and a waiting thread costs next to nothing. A link
// belongs to the thread that made it.
class CommLink {
public:
    // Binds to `port` (not owned). Unless the port has an error, the link
    // remembers the port's line settings and flow control, switches the
    // line to 9600 8N1 without flow control, and gives the remembered state
    // back when it is destroyed. `clock` defaults to systemClock().
    explicit CommLink(CommPort* port, Clock* clock = nullptr);
    virtual ~CommLink();                                                      // 0

    // 0..255; -802 when nothing arrived within timeoutMs; or the negative
    // result of a failing idle(). A time-out of 0 polls exactly once.
    virtual int readChar(int timeoutMs);                                      // 1
    // 0, the port's code (-805) when the byte was not taken, or a failing
    // idle()'s result.
    virtual int writeChar(int ch);                                            // 2
    virtual int reserved3();                                                  // 3

    // Collects characters until maxChars have arrived, the terminator
    // (-1 = none; it is stored) has arrived, or timeoutMs have passed since
    // the call began. The time-out bounds the whole call, not the gap between
    // characters. Returns the count stored; buffer (maxChars + 1 bytes) is
    // then NUL-terminated. Negative: a failing idle() (buffer unterminated).
    int readString(char* buffer, unsigned maxChars, int terminator, int timeoutMs);
    // Writes text and the line ending (TERM_* or a byte 0..255). Returns the
    // bytes written, ending included; short when the port took less (the
    // ending is then not sent); 0 when text is null or terminator invalid.
    int writeLine(const char* text, int terminator);
    // The count the port took; 0 when bytes is null.
    int write(const std::uint8_t* bytes, int len);
    // The port's idle(): gives up the processor briefly.
    int idle();
    // The port's idleFor(maxWaitMs): sleeps at most maxWaitMs, less when
    // input arrives; for callers that time their own waits (a pause that
    // checks a stop request). 0, or the port's negative code.
    int idle(int maxWaitMs);
    int rxCount();
    int txCount();
    // The port's purge(0, count): 0 discards everything queued for input.
    int purgeInput(int count);
    // Waits until ms have passed, idling the port; 0, or the first failing
    // idle's code. A pause always lasts its time: when the port fails (a
    // device gone or never opened) the rest of it is slept, so a loop of
    // pauses around a dead port does not spin.
    int wait(int ms);
    // Milliseconds the line needs to carry bytes characters at the port's
    // current rate and framing (at least 1 for a positive count).
    int lineTimeMs(int bytes);
    // Writes the link, port and holder state as text lines to sink.
    void dump(const LineSink& sink);

    // The link's clock, shared by everything that times its work on it.
    std::uint32_t tickMs() { return clock->tickMs(); }
    Clock& linkClock() { return *clock; }

    CommLink(const CommLink&) = delete;
    CommLink& operator=(const CommLink&) = delete;

    int charDelayMs = 0;                // pause after each character written
    CommPort* port = nullptr;           // not owned
    LineState* lineState = nullptr;     // owned; null when the port had an error
    PortSettings* settings = nullptr;   // owned; null likewise

private:
    // The port's idleFor() with the time left until end (0 when it passed).
    int idleUntil(std::uint32_t end);
    // The rest of a wait whose port failed, without spinning.
    void restUntil(std::uint32_t end, int ms);

    Clock* clock;
};
