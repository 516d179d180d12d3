// The serial port interface: non-blocking character and buffer I/O, line
// settings, flow control, modem signals, break, purging and queue status.
#pragma once

#include <cstdint>
#include <functional>

// Receives one line of diagnostic text (no line ending).
using LineSink = std::function<void(const char*)>;

// Port and link result codes (negative; 0 or a count is success).
enum CommResult : int {
    COMM_GENERAL_FAILURE = -801,
    COMM_NO_CHARACTER = -802,
    COMM_NOT_SUPPORTED = -803,
    COMM_OUTPUT_INCOMPLETE = -805,
    COMM_BREAK_FAILED = -827,
    COMM_DEVICE_FAULT = -828,
    COMM_CLOSE_FAILED = -829,
    COMM_BAD_INPUT_FLOW = -830,
    COMM_BAD_OUTPUT_FLOW = -832,
    COMM_OUT_OF_MEMORY = -836,
    COMM_PORT_IN_USE = -838,
    COMM_BAUD_REFUSED = -839,
    COMM_BAD_PARITY = -840,
    COMM_BAD_STOP_BITS = -841,
    COMM_BAD_DATA_BITS = -842,
};

// A short meaning of a port or link result code, for people: "success" for
// 0 and "unknown result" for a code that is not a CommResult. Never null.
const char* commResultText(int code);

// Identifiers shared by the signal query, the flow-control kinds and the
// packed line status.
enum CommSignal : int {
    SIG_XONXOFF = 1,
    SIG_DTR = 3,
    SIG_RTS = 4,
    SIG_BREAK = 7,
    SIG_CTS = 12,
    SIG_DSR = 13,
    SIG_RI = 14,
    SIG_DCD = 15,
    SIG_CTS_CHANGED = 17,
    SIG_DSR_CHANGED = 18,
    SIG_RI_EDGE = 19,
    SIG_DCD_CHANGED = 20,
    SIG_OVERRUN = 25,
    SIG_PARITY_ERROR = 26,
    SIG_FRAMING_ERROR = 27,
    SIG_BREAK_DETECTED = 28,
    SIG_RX_OVERFLOW = 31,
};

// Driver queue state, in the order the fields are reported.
struct QueueStatus {
    int rxValid = 0;  // always 1
    int rxCount = 0;  // bytes waiting in the input queue
    int rxSize = 0;   // input queue size
    int txValid = 0;  // always 1
    int txCount = 0;  // bytes waiting in the output queue
    int txSize = 0;   // output queue size
    int blockFlags = 0; // bit 0: this side sent XOFF; bit 1: output held
};

// Packed line status: four bytes, two bits per signal (see LineState).
using PackedLineStatus = std::uint8_t[4];

// The number of entries of the process-wide port-use table.
constexpr int kPortUseEntries = 16;

// Process-wide count of port objects holding each port index open. Not
// locked: ports are created and destroyed by one thread at a time.
// Returns nullptr for an index outside the table.
std::uint16_t* portUseCount(int portIndex);

// A serial port. Constructed = opened (or failed: lastError != 0). Nothing
// here waits for data: reads return what the driver already holds, writes
// queue what fits. One thread at a time uses a port object.
//
// The virtual operations are declared in their fixed slot order. The bodies
// here are never meant to run: each ends the process through libraryError().
// The ports' own non-virtual operations (setEventChar and after) carry
// numbers from 25 too, in a separate list: they are not slots of this table.
class CommPort {
public:
    CommPort();
    virtual ~CommPort();                                                      // 0
    // Gives up the processor briefly between two polls of a waiting loop.
    virtual int idle();                                                       // 1
    virtual int refreshModemStatus();                                         // 2
    virtual int configure();                                                  // 3
    virtual int open();                                                       // 4
    virtual int close();                                                      // 5
    virtual int queueStatus(QueueStatus& out, int mode);                      // 6
    virtual int setQueueSizes(int rxSize, int xoffLimit, int txSize);         // 7
    virtual int setFlowControl(int inKind, int outKind);                      // 8
    virtual int getFlowControl(int& inKind, int& outKind);                    // 9
    virtual int breakControl(int value);                                      // 10
    virtual int signal(int id, int value);                                    // 11
    virtual int setLineSettings(int baud, char parity, int dataBits, int stopBits); // 12
    virtual int getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits); // 13
    virtual int lineStatus(PackedLineStatus out);                             // 14
    // 0, or -805 when the byte was not taken.
    virtual int writeChar(int ch);                                            // 15
    virtual int writeString(const char* text);                                // 16
    // The count the driver took; fewer than len sets lastError to -805.
    virtual int write(const std::uint8_t* bytes, unsigned len);               // 17
    virtual int sendPriorityChar(int ch);                                     // 18
    // 0..255, or -802 when nothing is waiting.
    virtual int readChar();                                                   // 19
    // The count read; 0 when nothing is waiting.
    virtual int read(std::uint8_t* bytes, unsigned len);                      // 20
    virtual int purge(int which, int count);                                  // 21
    virtual int dumpSettings(const LineSink& sink);                           // 22
    virtual int reserved23();                                                 // 23
    virtual int reserved24();                                                 // 24
    // Like idle(), but may sleep up to maxWaitMs (a waiting loop passes the
    // time it has left) and returns early when input arrives. Never longer
    // than maxWaitMs; 0, or the same negative code as idle(). This default
    // is one idle(), for ports that only give up their time slice.
    virtual int idleFor(int maxWaitMs) { (void)maxWaitMs; return idle(); }   // 25

    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    int portIndex = 0;  // zero-based; index 0 is "Comm 1"
    int lastError = 0;  // 0, or the code of the most recent failure
};
