// The portable half of the serial ports' operations: break, signals, line
// status, flow control, and the character and string writes.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "comlink/CommPort.h"
#include "comlink/PortCommon.h"

// The handshakes a pair of flow-control kinds asks for.
struct FlowPlan {
    bool inX = false;           // input: XON/XOFF sent to the far end
    bool outX = false;          // output: held by XON/XOFF from the far end
    bool rtsHandshake = false;  // input: held back with RTS
    bool dtrHandshake = false;  // input: held back with DTR
    bool ctsOutput = false;     // output: waits for CTS
    bool dsrOutput = false;     // output: waits for DSR
};

// The handshakes a platform's device may lack; the others every port has.
struct FlowSupport {
    bool dtrInput = false;
    bool dsrOutput = false;
};

// Reads the kinds, input first, into plan (which starts with every
// handshake off). 0 when both are known and supported; otherwise the code
// setFlowControl returns, with lastError set, and plan holds what was read
// before the refused kind. Input kinds: 0, SIG_XONXOFF, SIG_RTS, SIG_DTR;
// output kinds: 0, SIG_XONXOFF, SIG_CTS, SIG_DSR. SIG_DSR as input and
// SIG_DCD as output, and a handshake the platform lacks, give -803; an
// unknown input kind sets -830 and returns -801; an unknown output kind -832.
int planFlowControl(int inKind, int outKind, FlowSupport support, FlowPlan& plan, int& lastError);

// Base of the two port classes: the state of break, the output lines and
// flow control, and the logic of those operations, of the character and
// string writes and of the wait for written bytes to leave the line that
// does not depend on the platform. Port supplies,
// callable from here (PortControl<Port> is its friend):
//   bool setBreakLine(bool on);                the device's break state; false on failure
//   void setOutputLine(int id, bool on);       SIG_DTR or SIG_RTS: in its record and on the line
//   int readModemInput(int mask);              MODEM_* bits: 1 when one of them is on now, else 0
//   int beginFlowChange();                     0, or the code when the port cannot take a change
//   void writeFlowPlan(const FlowPlan& plan);  into its device record
//   int applyFlowChange();                     the record to the device: 0 or a code
//   (count) outputQueued();                    bytes in the driver's output queue
//   static constexpr FlowSupport kFlowSupport;
// One thread at a time, as for every port operation.
template <class Port>
class PortControl : public CommPort {
public:
    // value < 0 reads the state; 1 sets break, any other value clears it.
    // The value (low 16 bits) once the device took it, or -827.
    int breakControl(int value) override
    {
        if (value < 0)
            return breakState;
        if (!port().setBreakLine(value == 1))
            return lastError = COMM_BREAK_FAILED;
        breakState = static_cast<std::uint16_t>(value & 0xFFFF);
        return value & 0xFFFF;
    }

    // SIG_BREAK goes to breakControl; SIG_DTR and SIG_RTS with a value
    // other than -1 set the line first. Answers the signal's state (0/1),
    // or 2 for an unknown id.
    int signal(int id, int value) override
    {
        if (id == SIG_BREAK)
            return breakControl(value);
        if ((id == SIG_DTR || id == SIG_RTS) && value != -1) {
            const bool on = value != 0;
            (id == SIG_DTR ? dtrOn : rtsOn) = on;
            port().setOutputLine(id, on);
        }
        switch (id) {
        case SIG_DTR: return testModemLine(1);
        case SIG_RTS: return testModemLine(2);
        case SIG_CTS: return testModemLine(MODEM_CTS_ON);
        case SIG_DSR: return testModemLine(MODEM_DSR_ON);
        case SIG_RI: return testModemLine(MODEM_RING_ON);
        case SIG_DCD: return testModemLine(MODEM_RLSD_ON);
        default: return querySignal(id, modemStatus, errorLatch);
        }
    }

    // The kinds as planFlowControl reads them. The kinds are kept only
    // when the device took the change.
    int setFlowControl(int inKind, int outKind) override
    {
        if (const int r = port().beginFlowChange(); r != 0)
            return r;
        FlowPlan plan;
        const int planned = planFlowControl(inKind, outKind, Port::kFlowSupport, plan, lastError);
        port().writeFlowPlan(plan);
        if (planned != 0)
            return planned;
        if (const int r = port().applyFlowChange(); r != 0)
            return lastError = r;
        inputFlow = inKind;
        outputFlow = outKind;
        return 0;
    }

    // Every signal's state, packed two bits each; the modem inputs are
    // read now and the latched errors start again.
    int lineStatus(PackedLineStatus out) override
    {
        refreshModemStatus();
        packLineStatus(*this, out);
        modemStatus = 0;
        errorLatch = 0;
        return 0;
    }

    int getFlowControl(int& inKind, int& outKind) override
    {
        inKind = inputFlow;
        outKind = outputFlow;
        return 0;
    }

    // One byte through write(): 0, or write()'s code (-805 when the driver
    // did not take it).
    int writeChar(int ch) override
    {
        const std::uint8_t byte = static_cast<std::uint8_t>(ch);
        return write(&byte, 1) == 1 ? 0 : lastError;
    }

    // The text up to its terminating zero through write(): the count taken.
    // A null text writes nothing (0).
    int writeString(const char* text) override
    {
        if (!text)
            return 0;
        return write(reinterpret_cast<const std::uint8_t*>(text),
                     static_cast<unsigned>(std::strlen(text)));
    }

    // 1: DTR as set; 2: RTS as set; other masks (MODEM_* bits): the modem
    // inputs as the device reports them now, 1 when one of them is on. The
    // output lines answer from what was last set: the device is not asked.
    int testModemLine(int mask)                                               // 29
    {
        if (mask == 1)
            return dtrOn;
        if (mask == 2)
            return rtsOn;
        return port().readModemInput(mask);
    }

    int inputFlow = 0;                  // flow-control kinds last applied
    int outputFlow = 0;
    int rtsOn = 1;
    int dtrOn = 1;
    std::uint16_t breakState = 0;
    std::uint32_t errorLatch = 0;       // LineErrorBit, since the last lineStatus
    int modemStatus = 0;                // ModemStatusBit

protected:
    // Before the line settings change: lets the bytes written leave the line
    // at the settings they were written for, within OutputDrain's bound.
    // Timed on the system clock: it waits for a real line.
    void awaitOutputSent()
    {
        outputDrain.await(
            systemClock(), [this] { return static_cast<long>(port().outputQueued()); },
            [this](long bytes) { return lineMsFor(bytes); },
            [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    }

    // The driver took `bytes` bytes for the line.
    void noteWritten(long bytes)
    {
        if (bytes > 0)
            outputDrain.wrote(lineMsFor(bytes), systemClock().tickMs());
    }

    // The time `bytes` bytes need on the line at the settings kept.
    int lineMsFor(long bytes)
    {
        int baud = 0, dataBits = 8, stopBits = 1;
        char parity = 'N';
        getLineSettings(baud, parity, dataBits, stopBits);
        return lineTimeMs(bytes, baud, dataBits, parity, stopBits);
    }

private:
    OutputDrain outputDrain;
    Port& port() { return static_cast<Port&>(*this); }
};
