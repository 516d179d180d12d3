// The serial port over the Win32 communications API.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "comlink/CommPort.h"
#include "comlink/OverlappedWriter.h"
#include "comlink/PortControl.h"

// "\\.\COMn" opened for overlapped I/O, so a read returns at once with what
// the driver holds. Waits sleep in an overlapped WaitCommEvent on received
// bytes and line errors; writes go out one at a time from the port's own
// buffer. A device that went away (a USB adapter pulled out) makes reads and
// waits return -828 at once. Construction opens and configures the device: 19200
// baud, 8N1, no hardware flow control, DTR and RTS raised. The caller reads
// lastError after construction (0 = usable). One thread at a time.
class Win32CommPort : public PortControl<Win32CommPort> {
public:
    // A nonzero noOpen leaves the object without its records and unopened.
    Win32CommPort(int portIndex, int rxQueueSize, int txQueueSize, int noOpen = 0);
    ~Win32CommPort() override;

    // idleFor(1).
    int idle() override;
    // Sleeps until a byte or a line error arrives, or maxWaitMs pass; while
    // output is queued, no longer than it needs to leave. Input that an
    // earlier call reported and nobody has read since does not end the
    // sleep. 0, or -828 once the device has gone away.
    int idleFor(int maxWaitMs) override;
    int refreshModemStatus() override;
    int configure() override;
    int open() override;
    // Waits up to one second for queued output to leave, then purges input
    // (and output, if some is still queued), lowers DTR and RTS and closes.
    int close() override;
    int queueStatus(QueueStatus& out, int mode) override;
    int setQueueSizes(int rxSize, int xoffLimit, int txSize) override;
    // First lets the bytes written leave the line at the settings they were
    // written for: waits until the driver's queue is empty and the line has
    // had their time, never longer than the queue needs plus half a second
    // (see OutputDrain).
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits) override;
    // A write the driver left pending counts as taken in full; its bytes
    // are the port's own until it completes. A write waits for the one
    // before it (at most its line time and half a second); 0 and -805 when
    // that one is still held up.
    int write(const std::uint8_t* bytes, unsigned len) override;
    int sendPriorityChar(int ch) override;
    int readChar() override;
    // Takes what the driver holds (up to 4 KiB) into the port's buffer at
    // once and reads from there; waits only for the part the driver
    // reported as queued. The queue counts include the buffer.
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;
    int dumpSettings(const LineSink& sink) override;

    // Nonzero when SetCommState succeeded (a truth value, not a code).
    int setEventChar(int ch);                                                 // 25
    // 0 or the mapped error; not stored in lastError.
    int getEventMask(unsigned& mask);                                         // 26
    int setEventMask(unsigned mask);                                          // 27
    // Blocks in WaitCommEvent until an enabled event happens.
    int waitEvent(unsigned& mask);                                            // 28
    // 29: testModemLine(mask), in PortControl.
    int lastSystemError();                                                    // 30

    DCB* dcb = nullptr;
    OVERLAPPED* readOverlapped = nullptr;
    OVERLAPPED* eventOverlapped = nullptr;  // the idle wait's WaitCommEvent, with its event
    COMMTIMEOUTS* savedTimeouts = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD savedEventMask = 0;
    std::uint16_t txQueueSize = 0;
    std::uint16_t rxQueueSize = 0;

    // Flow-control kinds (setFlowControl): input 0, 1 (XON/XOFF), 3 (DTR),
    // 4 (RTS); output 0, 1, 12 (CTS), 13 (DSR).
    static constexpr FlowSupport kFlowSupport{true, true};

private:
    friend class PortControl<Win32CommPort>;
    bool setBreakLine(bool on) { return (on ? SetCommBreak(handle) : ClearCommBreak(handle)) != 0; }
    void setOutputLine(int id, bool on);
    int readModemInput(int mask);
    int beginFlowChange() { return dcb ? 0 : (lastError = COMM_GENERAL_FAILURE); }
    void writeFlowPlan(const FlowPlan& plan);
    int applyFlowChange() { return SetCommState(handle, dcb) ? 0 : lastSystemError(); }

    // False (and the device marked lost) when the driver no longer answers.
    bool latchErrors(COMSTAT* comstat = nullptr);
    // Ends an armed idle wait, so that the event mask can change.
    void disarmEventWait();
    // The idle wait of a driver that cannot wait for events.
    int noEvents(DWORD waitMs);
    int sleepPolling(DWORD waitMs);
    // Bytes still waiting in the driver's output queue (errors latched).
    DWORD outputQueued();
    void freeRecords();

    bool counted = false;  // this object incremented its portUseCount entry
    std::unique_ptr<OverlappedWriter> writer;
    DWORD eventsSeen = 0;       // filled by the armed WaitCommEvent
    bool eventWaitArmed = false;
    bool deviceLost = false;
    bool inputUnread = false;   // idleFor reported queued input; no read since
    bool eventsWork = true;     // the driver's WaitCommEvent watches the line
    std::vector<std::uint8_t> inbox;  // taken from the driver, not yet read
    std::size_t inboxAt = 0;
    std::size_t buffered() const { return inbox.size() - inboxAt; }
    std::uint32_t lastActivity = 0;  // tick of the last input, or when the last write leaves
};
