// A scripted in-memory CommPort and a virtual clock for link tests: input
// bytes arrive at given virtual times, idle() advances the clock by 1 ms.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "comlink/Clock.h"
#include "comlink/CommPort.h"

class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t start = 0) : now(start) {}
    std::uint32_t tickMs() override { return now; }
    std::uint32_t now;
};

class FakePort : public CommPort {
public:
    explicit FakePort(VirtualClock& clock) : clock(clock) {}

    // Byte b becomes readable at virtual time `at`.
    void arrive(std::uint32_t at, const std::string& bytes)
    {
        for (char c : bytes)
            pending.push_back({at, static_cast<std::uint8_t>(c)});
    }

    int idle() override
    {
        ++idles;
        ++clock.now;
        return idles > failIdleAfter ? idleFailure : 0;
    }
    int readChar() override
    {
        ++reads;
        if (readFailure)
            return readFailure;
        if (pending.empty() || static_cast<std::int32_t>(clock.now - pending.front().at) < 0)
            return COMM_NO_CHARACTER;
        const int c = pending.front().byte;
        pending.pop_front();
        return c;
    }
    int write(const std::uint8_t* bytes, unsigned len) override
    {
        const unsigned n = len < room ? len : room;
        out.append(reinterpret_cast<const char*>(bytes), n);
        room -= n;
        if (n < len)
            lastError = COMM_OUTPUT_INCOMPLETE;
        return static_cast<int>(n);
    }
    int writeString(const char* text) override
    {
        return write(reinterpret_cast<const std::uint8_t*>(text), static_cast<unsigned>(std::string(text).size()));
    }
    int writeChar(int ch) override
    {
        const std::uint8_t b = static_cast<std::uint8_t>(ch);
        return write(&b, 1) == 1 ? 0 : lastError;
    }
    int setLineSettings(int b, char p, int d, int s) override
    {
        calls.push_back("line");
        if (b == refuseBaud)
            return COMM_BAUD_REFUSED;
        baud = b, parity = p, dataBits = d, stopBits = s;
        return 0;
    }
    int getLineSettings(int& b, char& p, int& d, int& s) override
    {
        b = baud, p = parity, d = dataBits, s = stopBits;
        return 0;
    }
    int setFlowControl(int in, int out_) override
    {
        calls.push_back("flow");
        inFlow = in, outFlow = out_;
        return 0;
    }
    int getFlowControl(int& in, int& out_) override
    {
        in = inFlow, out_ = outFlow;
        return 0;
    }
    int lineStatus(PackedLineStatus s) override
    {
        for (int i = 0; i < 4; ++i)
            s[i] = status[i];
        return 0;
    }
    int dumpSettings(const LineSink& sink) override
    {
        sink("fake port");
        return 0;
    }
    int signal(int id, int) override { return id == SIG_BREAK ? breakResult : 1; }
    int queueStatus(QueueStatus& q, int) override
    {
        q = QueueStatus{1, static_cast<int>(pending.size()), 0, 1, static_cast<int>(out.size()), 0, 0};
        return 0;
    }

    VirtualClock& clock;
    struct Arrival {
        std::uint32_t at;
        std::uint8_t byte;
    };
    std::deque<Arrival> pending;
    std::string out;
    unsigned room = 1u << 20;
    int idles = 0, reads = 0;
    int failIdleAfter = 1 << 30, idleFailure = 0, readFailure = 0;
    int refuseBaud = -1, breakResult = 0;
    int baud = 19200, dataBits = 8, stopBits = 1, inFlow = 0, outFlow = 0;
    char parity = 'N';
    std::uint8_t status[4] = {0, 0, 0, 0};
    std::vector<std::string> calls;
};
