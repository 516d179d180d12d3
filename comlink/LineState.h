// Remembers a port's flow control when made and gives it back on restore();
// reads the packed line status.
#pragma once

#include <cstdint>

#include "comlink/CommPort.h"

class CommLink;

// Packed line status: two bits per signal, lowest bits first.
//   byte 0: DTR, RTS, BREAK, DSR     byte 1: CTS, RI, DCD, DCD changed
//   byte 2: RI edge, CTS changed, DSR changed, break detected
//   byte 3: parity error, framing error, input overflow, overrun
class LineState {
public:
    explicit LineState(CommLink* link);

    // Records the kinds and calls the port's setFlowControl; its result.
    int setFlowControl(int inKind, int outKind);
    // Reads the port's kinds into inputFlow/outputFlow and returns them.
    int getFlowControl(int& inKind, int& outKind);
    // Sets the flow control found when the holder was made.
    int restore();
    // Reads the port's packed line status into status.
    int refresh();
    int setDtr(int value);
    int setRts(int value);
    int setBreak(int value);

    // The two bits of each signal in status, as last refreshed.
    int dtr() const { return pair(0, 0); }
    int rts() const { return pair(0, 1); }
    int brk() const { return pair(0, 2); }
    int dsr() const { return pair(0, 3); }
    int cts() const { return pair(1, 0); }
    int ri() const { return pair(1, 1); }
    int dcd() const { return pair(1, 2); }
    int dcdChanged() const { return pair(1, 3); }
    int riEdge() const { return pair(2, 0); }
    int ctsChanged() const { return pair(2, 1); }
    int dsrChanged() const { return pair(2, 2); }
    int breakDetected() const { return pair(2, 3); }
    int parityError() const { return pair(3, 0); }
    int framingError() const { return pair(3, 1); }
    int overflow() const { return pair(3, 2); }
    int overrun() const { return pair(3, 3); }
    int carrierPresent() const { return dcd(); }

    void dump(const LineSink& sink) const;

    int oldInputFlow = 0;
    int oldOutputFlow = 0;
    int inputFlow = 0;
    int outputFlow = 0;
    std::uint8_t status[4] = {0, 0, 0, 0};
    CommPort* port = nullptr;  // not owned

private:
    int pair(int byte, int index) const { return (status[byte] >> (2 * index)) & 3; }
};
