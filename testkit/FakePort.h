// An in-memory serial port on a virtual clock: timed input, recorded
// output, injected faults. The base of the scripted peers.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <vector>

#include "comlink/CommPort.h"
#include "testkit/VirtualClock.h"

namespace testkit {

// One byte with the virtual time at which it was written or is due.
struct TimedByte {
    std::uint32_t at;
    std::uint8_t byte;
};

// Input bytes become readable at their due time; every byte the host writes
// is recorded with its time and passed to onWrite(). idle() advances the
// clock by idleStepMs and calls onIdle(). Line settings, flow control and
// signals are kept in memory so a CommLink can be made on the port.
// One thread at a time uses a port (see PipePair for two).
class FakePort : public CommPort {
public:
    explicit FakePort(VirtualClock& clock);

    int idle() override;
    int refreshModemStatus() override { return 0; }
    int configure() override { return 0; }
    int open() override { return 0; }
    int close() override { return 0; }
    int queueStatus(QueueStatus& out, int mode) override;
    int setQueueSizes(int, int, int) override { return 0; }
    int setFlowControl(int inKind, int outKind) override;
    int getFlowControl(int& inKind, int& outKind) override;
    int breakControl(int) override { return 0; }
    int signal(int id, int value) override;
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits) override;
    int lineStatus(PackedLineStatus out) override;
    int writeChar(int ch) override;
    int writeString(const char* text) override;
    int write(const std::uint8_t* bytes, unsigned len) override;
    int sendPriorityChar(int ch) override { return writeChar(ch); }
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;
    int dumpSettings(const LineSink& sink) override;

    // Queues bytes for the host, readable delayMs from now (after what is
    // already queued). fragment > 0 splits them into pieces of that many
    // bytes, each gapMs after the previous one.
    void deliver(const std::vector<std::uint8_t>& bytes, std::uint32_t delayMs = 0,
                 std::size_t fragment = 0, std::uint32_t gapMs = 0);
    // Bytes queued for the host, due or not.
    std::size_t inputQueued() const { return input.size(); }
    // Text queued for the host, readable delayMs from now.
    void deliverText(const std::string& text, std::uint32_t delayMs = 0);
    // Everything the host wrote, without times; and as text.
    std::vector<std::uint8_t> writtenBytes() const;
    std::string writtenText() const;

    VirtualClock& clock;
    std::vector<TimedByte> written;   // the spy: every byte the host wrote
    std::uint32_t idleStepMs = 5;     // virtual time one idle() takes
    int idleResult = 0;               // nonzero: idle() fails with it (port gone)
    std::uint64_t idleResultAfter = 0;  // idle() calls that pass before idleResult applies
    bool refuseOutput = false;        // writes are not taken (-805)
    std::size_t outputRoom = std::numeric_limits<std::size_t>::max();  // bytes taken before writes are refused
    int refuseBaud = -1;              // setLineSettings() with this rate fails (-839)
    int signalResult = 0;             // nonzero: signal() other than DCD answers it
    std::uint8_t statusBits[4] = {};  // ORed into lineStatus()
    std::vector<std::string> calls;   // "line", "flow": the setters called, in order
    std::uint64_t readCalls = 0;
    bool carrier = true;              // DCD in the line status
    unsigned txBytesPerMs = 0;        // output drain rate; 0 = leaves at once
    unsigned txMsPerByte = 0;         // or, for slow lines, ms each byte takes to leave
    std::uint64_t idleCalls = 0;
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int inFlow = 0;
    int outFlow = 0;

protected:
    // Called with each byte the host wrote, once the port took it.
    virtual void onWrite(std::uint8_t /*byte*/) {}
    // Called after each idle() has advanced the clock.
    virtual void onIdle() {}

private:
    bool due(const TimedByte& b) const;
    void drainOutput();
    bool take(std::uint8_t byte);

    std::deque<TimedByte> input;
    std::uint32_t lastDue = 0;
    std::uint32_t txPending = 0;
    std::uint32_t txSince = 0;
};

} // namespace testkit
