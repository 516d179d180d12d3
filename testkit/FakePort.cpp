// The in-memory fake port: due-time input queue, output spy, faults.
#include "testkit/FakePort.h"

#include <algorithm>
#include <cstring>

namespace testkit {

FakePort::FakePort(VirtualClock& clock) : clock(clock), lastDue(clock.tickMs()), txSince(clock.tickMs())
{
}

int FakePort::idle()
{
    clock.advance(idleStepMs);
    ++idleCalls;
    onIdle();
    return idleCalls > idleResultAfter ? idleResult : 0;
}

bool FakePort::due(const TimedByte& b) const
{
    return !tickBefore(clock.tickMs(), b.at);
}

void FakePort::drainOutput()
{
    const std::uint32_t now = clock.tickMs();
    if (txMsPerByte != 0) {
        // Whole bytes leave; the part of a byte under way keeps its time.
        const std::uint32_t gone = (now - txSince) / txMsPerByte;
        txPending = gone >= txPending ? 0 : txPending - gone;
        txSince = txPending == 0 ? now : txSince + gone * txMsPerByte;
        return;
    }
    if (txBytesPerMs == 0) {
        txPending = 0;
    } else {
        const std::uint32_t gone = (now - txSince) * txBytesPerMs;
        txPending = gone >= txPending ? 0 : txPending - gone;
    }
    txSince = now;
}

int FakePort::queueStatus(QueueStatus& out, int /*mode*/)
{
    drainOutput();
    out = QueueStatus{};
    out.rxValid = 1;
    out.txValid = 1;
    // The queue is in due order (deliver keeps it so), so the due bytes are
    // its front, found by halving: a loop that asks for the count before
    // each byte it reads stays linear in the bytes.
    const auto firstLater = std::partition_point(input.begin(), input.end(),
                                                 [this](const TimedByte& b) { return due(b); });
    out.rxCount = static_cast<int>(firstLater - input.begin());
    out.rxSize = 4096;
    out.txCount = static_cast<int>(txPending);
    out.txSize = 4096;
    return 0;
}

int FakePort::setFlowControl(int inKind, int outKind)
{
    calls.emplace_back("flow");
    inFlow = inKind;
    outFlow = outKind;
    return 0;
}

int FakePort::getFlowControl(int& inKind, int& outKind)
{
    inKind = inFlow;
    outKind = outFlow;
    return 0;
}

int FakePort::signal(int id, int value)
{
    if (id == SIG_DCD)
        return carrier ? 1 : 0;
    if (signalResult != 0)
        return signalResult;
    return value < 0 ? 0 : value & 1;
}

int FakePort::setLineSettings(int newBaud, char newParity, int newDataBits, int newStopBits)
{
    calls.emplace_back("line");
    if (newBaud == refuseBaud)
        return COMM_BAUD_REFUSED;
    baud = newBaud;
    parity = newParity;
    dataBits = newDataBits;
    stopBits = newStopBits;
    return 0;
}

int FakePort::getLineSettings(int& outBaud, char& outParity, int& outDataBits, int& outStopBits)
{
    outBaud = baud;
    outParity = parity;
    outDataBits = dataBits;
    outStopBits = stopBits;
    return 0;
}

int FakePort::lineStatus(PackedLineStatus out)
{
    std::memset(out, 0, sizeof(PackedLineStatus));
    // DCD is the third pair of byte 1.
    if (carrier)
        out[1] = static_cast<std::uint8_t>(1 << 4);
    for (int i = 0; i < 4; ++i)
        out[i] |= statusBits[i];
    return 0;
}

bool FakePort::take(std::uint8_t byte)
{
    if (refuseOutput || outputRoom == 0) {
        lastError = COMM_OUTPUT_INCOMPLETE;
        return false;
    }
    drainOutput();
    if (txBytesPerMs != 0 || txMsPerByte != 0)
        ++txPending;
    --outputRoom;
    written.push_back(TimedByte{clock.tickMs(), byte});
    onWrite(byte);
    return true;
}

int FakePort::writeChar(int ch)
{
    return take(static_cast<std::uint8_t>(ch)) ? 0 : COMM_OUTPUT_INCOMPLETE;
}

int FakePort::writeString(const char* text)
{
    if (!text)
        return 0;
    return write(reinterpret_cast<const std::uint8_t*>(text), static_cast<unsigned>(std::strlen(text)));
}

int FakePort::write(const std::uint8_t* bytes, unsigned len)
{
    unsigned n = 0;
    while (n < len && take(bytes[n]))
        ++n;
    return static_cast<int>(n);
}

int FakePort::readChar()
{
    ++readCalls;
    if (input.empty() || !due(input.front()))
        return COMM_NO_CHARACTER;
    const std::uint8_t b = input.front().byte;
    input.pop_front();
    return b;
}

int FakePort::read(std::uint8_t* bytes, unsigned len)
{
    unsigned n = 0;
    while (n < len) {
        const int ch = readChar();
        if (ch < 0)
            break;
        bytes[n++] = static_cast<std::uint8_t>(ch);
    }
    return static_cast<int>(n);
}

int FakePort::purge(int which, int /*count*/)
{
    // Input that has arrived is discarded; bytes still on their way are not.
    if (which == 0)
        while (!input.empty() && due(input.front()))
            input.pop_front();
    return 0;
}

void FakePort::deliver(const std::vector<std::uint8_t>& bytes, std::uint32_t delayMs,
                       std::size_t fragment, std::uint32_t gapMs)
{
    std::uint32_t at = clock.tickMs() + delayMs;
    if (tickBefore(at, lastDue))
        at = lastDue;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (fragment > 0 && i > 0 && i % fragment == 0)
            at += gapMs;
        input.push_back(TimedByte{at, bytes[i]});
    }
    lastDue = at;
}

std::vector<std::uint8_t> FakePort::writtenBytes() const
{
    std::vector<std::uint8_t> out;
    out.reserve(written.size());
    for (const TimedByte& b : written)
        out.push_back(b.byte);
    return out;
}

void FakePort::deliverText(const std::string& text, std::uint32_t delayMs)
{
    deliver(std::vector<std::uint8_t>(text.begin(), text.end()), delayMs);
}

std::string FakePort::writtenText() const
{
    std::string out;
    for (const TimedByte& b : written)
        out += static_cast<char>(b.byte);
    return out;
}

int FakePort::dumpSettings(const LineSink& sink)
{
    sink("fake port");
    return 0;
}

} // namespace testkit
