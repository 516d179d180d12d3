// The serial port over a POSIX terminal device (termios).
#pragma once

#include <cstdint>
#include <string>

#include "comlink/Clock.h"
#include "comlink/CommPort.h"
#include "comlink/PortControl.h"
#include "comlink/PortDump.h"

// A terminal device opened non-blocking and exclusively, in raw mode.
// Construction opens and configures it: 19200 baud, 8N1, no flow control,
// DTR and RTS raised. Nothing waits for data: reads return what the driver
// holds, writes queue what the driver takes. One thread at a time.
//
// Open failures, in lastError:
//   -828  portIndex outside the port table, or the path is not a terminal
//         device (a regular file, a directory, a node without hardware)
//   -838  the device is held by this process or by another one
//   -801  no such device, no permission, or another system error
//
// Modem-line and break requests that the device does not support (a
// pseudo-terminal) are not errors: DTR/RTS are remembered, the modem inputs
// read as 0.
//
// When the device goes away (far end of a pseudo-terminal closed, USB
// adapter unplugged), idle() returns -828 and keeps doing so; reads then
// return nothing and writes take nothing, so every waiting loop ends with
// that code instead of polling a dead line.
class PosixCommPort : public PortControl<PosixCommPort> {
public:
    // Opens "Comm portIndex+1" (see portDevicePath). A nonzero noOpen leaves
    // the object unopened: I/O then takes and returns nothing.
    PosixCommPort(int portIndex, int rxQueueSize, int txQueueSize, int noOpen = 0);
    // Opens an explicit device path (tools and tests). portIndex is -1: the
    // exclusive lock on the device keeps out a second holder.
    PosixCommPort(const std::string& devicePath, int rxQueueSize, int txQueueSize);
    ~PosixCommPort() override;

    // idleFor(1).
    int idle() override;
    int refreshModemStatus() override;
    int configure() override;
    int open() override;
    // Gives queued output up to 1 s of the port's clock to leave, purges,
    // lowers DTR and RTS and closes; 0 or -829.
    int close() override;
    int queueStatus(QueueStatus& out, int mode) override;
    int setQueueSizes(int rxSize, int xoffLimit, int txSize) override;
    // First lets the bytes written leave the line at the settings they were
    // written for: waits until the driver's queue is empty and the line has
    // had their time, never longer than the queue needs plus half a second
    // (see OutputDrain). A rate without a termios speed constant is refused
    // with -839.
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits) override;
    // Takes at most the room left in txQueueSize and what the driver accepts
    // without blocking; fewer than len sets lastError to -805.
    int write(const std::uint8_t* bytes, unsigned len) override;
    // Queued behind pending output: POSIX has no way to jump the queue.
    int sendPriorityChar(int ch) override;
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;
    int dumpSettings(const LineSink& sink) override;
    // Sleeps in poll() until input arrives, the device hangs up or
    // max(1, maxWaitMs) ms have passed; while output is queued, no longer
    // than the line needs to carry it at the current rate and framing, so a
    // loop waiting for the queue to drain looks again as it empties. Input
    // already reported and not read since does not end the sleep. 0, or -828
    // when the device is gone or was never opened (at once).
    int idleFor(int maxWaitMs) override;

    // Kept only for the settings dump: termios has no event character.
    int setEventChar(int ch);                                                 // 25
    // 29: testModemLine(mask), in PortControl.
    // The code for the last system error (errno) seen by this port.
    int lastSystemError();                                                    // 30

    // The clock close() measures its wait for queued output against;
    // systemClock() until set. clock must outlive the port.
    void useClock(Clock& clock) { portClock = &clock; }
    // Caps every idle at ms (0, the default: no cap). Benchmarks set 1 to
    // compare a port that wakes every millisecond with one that sleeps until
    // input arrives.
    void capIdle(int ms) { idleCapMs = ms; }

    const std::string& devicePath() const { return path; }
    // The open descriptor, or -1 (for tests that inspect the termios state).
    int fileDescriptor() const { return fd; }

    // Flow-control kinds (setFlowControl): input 0, 1 (XON/XOFF), 4 (RTS);
    // output 0, 1, 12 (CTS). The DTR/DSR handshakes have no termios
    // equivalent: -803.
    static constexpr FlowSupport kFlowSupport{false, false};

    DeviceControl dcb;                  // the settings kept and applied
    std::uint16_t txQueueSize = 0;
    std::uint16_t rxQueueSize = 0;

private:
    friend class PortControl<PosixCommPort>;
    bool setBreakLine(bool on);
    void setOutputLine(int id, bool on);
    // A pseudo-terminal has no modem inputs: they read as 0.
    int readModemInput(int mask);
    int beginFlowChange() { return 0; }
    void writeFlowPlan(const FlowPlan& plan);
    int applyFlowChange() { return applyControl(); }

    void init(int rxSize, int txSize);
    int applyControl();
    void readDeviceErrors();
    void setModemLine(int bit, bool on);
    int outputQueued();

    std::string path;
    Clock* portClock = &systemClock();
    bool usesTable = true;      // counted in portUseCount (index constructor)
    bool counted = false;       // this object incremented its table entry
    int fd = -1;
    bool deviceLost = false;
    bool inputUnread = false;   // input seen by idle() and not read since
    int savedErrno = 0;
    int idleCapMs = 0;
    std::uint32_t lastCounts[5] = {0, 0, 0, 0, 0};  // device error counters
};
