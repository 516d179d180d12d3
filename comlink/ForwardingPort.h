// A serial port that passes every operation to another port: the base of
// the port decorators (reopening after a lost device, tracing the line, the
// virtual unit's line filter).
#pragma once

#include "comlink/CommPort.h"

// Forwards each slot to inner() and mirrors the inner port's lastError. A
// derived class overrides the slots it watches and calls the base for the
// rest. inner() must be non-null whenever a slot is called. Same thread
// rules as the inner port.
class ForwardingPort : public CommPort {
public:
    int idle() override;
    int refreshModemStatus() override;
    int configure() override;
    int open() override;
    int close() override;
    int queueStatus(QueueStatus& out, int mode) override;
    int setQueueSizes(int rxSize, int xoffLimit, int txSize) override;
    int setFlowControl(int inKind, int outKind) override;
    int getFlowControl(int& inKind, int& outKind) override;
    int breakControl(int value) override;
    int signal(int id, int value) override;
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits) override;
    int lineStatus(PackedLineStatus out) override;
    int writeChar(int ch) override;
    int writeString(const char* text) override;
    int write(const std::uint8_t* bytes, unsigned len) override;
    int sendPriorityChar(int ch) override;
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;
    int dumpSettings(const LineSink& sink) override;
    int idleFor(int maxWaitMs) override;

protected:
    virtual CommPort* inner() = 0;
    // Copies the inner port's lastError and returns r.
    int mirror(int r);
};
