// Fuzz target: the XMODEM receiver against arbitrary bytes from the sender,
// in virtual time. Whatever comes, the call ends in bounded virtual time,
// answers only with protocol bytes, and keeps whole blocks.
#include <algorithm>

#include "comlink/CommLink.h"
#include "fuzz/XmodemScript.h"
#include "testkit/FakePort.h"
#include "transfer/MemoryFileEngine.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    testkit::VirtualClock clock(1000);
    testkit::FakePort port(clock);
    port.idleStepMs = 20;
    const std::size_t queued = fuzz::queueFarEnd(port, in);

    MemoryFileEngine file({}, 64 * 1024);
    TransferStatus status;
    int result = 0;
    {
        CommLink link(&port, &clock);
        Xmodem1kTransfer transfer(&link, &status);
        status.variant = setup & 1;  // the plain variants the program uses
        transfer.setFileEngine(&file);
        result = transfer.receiveFile("fuzz.bin");
    }
    FUZZ_CHECK(result <= 0);
    FUZZ_CHECK(result == status.result);
    // Whole blocks only, and never more than the sender put on the line.
    FUZZ_CHECK(file.contents().size() % 128 == 0);
    FUZZ_CHECK(file.contents().size() <= queued);
    // Bounded: ten header waits of 10 s, a minute of draining at most, and
    // the settling after a failure.
    FUZZ_CHECK(clock.tickMs() - 1000 < 30u * 60 * 1000);
    static const std::uint8_t kAnswers[] = {XM_ACK, XM_NAK, XM_CRC_START, XM_STREAM_START, XM_CAN, XM_BS};
    for (const testkit::TimedByte& b : port.written)
        FUZZ_CHECK(std::find(std::begin(kAnswers), std::end(kAnswers), b.byte) != std::end(kAnswers));
    return 0;
}
