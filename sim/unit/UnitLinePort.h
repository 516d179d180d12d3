// The unit's own end of the serial line: a terminal device port whose input
// purge keeps every byte except line endings, and which can drop line
// endings until a transfer's first protocol byte.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "comlink/ForwardingPort.h"

class StartRequestClock;

// Wraps the port of the unit's end of the line. The unit's loader runs the
// same transfer engine as the host, and that engine empties its input
// before it starts. On the unit that would throw away the host's start
// request or first block when it arrives together with the command line,
// so here a purge of the input removes only the CR and LF bytes still
// queued (the tail of the command line) and keeps everything else in order.
// A host sends its command line with an extra LF, which may still be on a
// paced line when the purge runs; so from the start of a transfer the port
// also drops CR and LF until the first other byte, which no XMODEM peer
// starts with. The link over this port may run on a sped-up clock; idleFor()
// then sleeps the real share of the time it is given (idleOnClock). Every
// other operation goes to the wrapped port. One thread.
class UnitLinePort : public ForwardingPort {
public:
    explicit UnitLinePort(std::unique_ptr<CommPort> inner);
    // Wraps a port that stays owned by the caller and must outlive this one.
    explicit UnitLinePort(CommPort& inner);
    ~UnitLinePort() override;

    int idle() override;
    int idleFor(int maxWaitMs) override;
    int queueStatus(QueueStatus& out, int mode) override;
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;

    // From now on input drops CR and LF bytes until the first other byte
    // (which is kept and ends the dropping). Resets the dropped count.
    void dropLineEndsUntilData();
    // Ends the dropping (a transfer over, whether or not a byte came) and
    // returns how many CR/LF bytes the purge and the dropping removed since
    // dropLineEndsUntilData().
    int endDropping();
    // From now on the budget idleFor() gets is in clock's milliseconds (the
    // link's clock, which may run faster than real time), and the wrapped
    // port sleeps the base clock's share of it: a wait keeps ending on the
    // tick its caller computed, and a sped-up clock shortens the real waits
    // with it. Null (the default) passes the budget through unchanged.
    // clock must outlive the setting.
    void idleOnClock(const StartRequestClock* clock);

private:
    CommPort* inner() override { return port; }
    int filtered(int ch);

    bool dropping = false;
    int dropped = 0;
    const StartRequestClock* linkClock = nullptr;
    std::unique_ptr<CommPort> owned;
    CommPort* port;
    std::deque<std::uint8_t> held;  // input read ahead by a purge
};
