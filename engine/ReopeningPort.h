// A serial port that survives its device going away: when a USB adapter is
// pulled out and put back, the same name is opened again at the same
// settings, under the same CommPort object the link and holders point to.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/EngineEnv.h"
#include "comlink/ForwardingPort.h"

// Opens the port through `opener` at construction (lastError tells how that
// went). Every failure of the inner port marks it lost; recover() then
// closes it and opens the device again, putting back the last line
// settings, flow control and DTR/RTS requested through this object, also
// those the device could not take at the time (it was not open, or gone).
// Values a working device refused (a rate it lacks) are not kept: the
// reopened device gets the last ones it took. The owner's thread only.
class ReopeningPort : public ForwardingPort {
public:
    ReopeningPort(PortOpener opener, int portIndex, int rxQueue, int txQueue);
    ~ReopeningPort() override;

    // True once the device failed (-828 from any operation, or an open that
    // did not succeed) and until a recover() succeeds.
    bool lost() const { return lostFlag; }
    // Opens the device again. True when it is back and its settings were
    // applied. Cheap to call often: the caller decides the rate.
    bool recover();

    int idle() override;
    int idleFor(int maxWaitMs) override;
    int setFlowControl(int inKind, int outKind) override;
    int signal(int id, int value) override;
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int write(const std::uint8_t* bytes, unsigned len) override;
    int writeChar(int ch) override;

protected:
    CommPort* inner() override { return port.get(); }

private:
    int watch(int r);

    PortOpener opener;
    int rxQueue;
    int txQueue;
    std::unique_ptr<CommPort> port;
    bool lostFlag = false;
    // The settings to put back after a reopen; valid once set.
    bool haveLine = false;
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    bool haveFlow = false;
    int inFlow = 0;
    int outFlow = 0;
    int dtr = -1;
    int rts = -1;
};
