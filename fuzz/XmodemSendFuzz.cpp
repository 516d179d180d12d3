// Fuzz target: the XMODEM sender against arbitrary bytes from the receiver,
// in virtual time. Whatever comes, every frame on the line is well formed
// and carries the file's bytes at its place, and the call ends in bounded
// virtual time.
#include "comlink/CommLink.h"
#include "fuzz/XmodemScript.h"
#include "testkit/FakePort.h"
#include "transfer/BlockCheck.h"
#include "transfer/MemoryFileEngine.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

namespace {

// Walks what the sender wrote: frames, EOT, and the cancel sequence; every
// frame must hold a valid check and the file's bytes (padded with 0x00)
// where its number puts it. Returns whether an EOT was sent after the
// whole file went out.
bool checkLine(const std::vector<std::uint8_t>& line, const std::vector<std::uint8_t>& file)
{
    Crc16 crc;
    Checksum8 sum;
    std::size_t pos = 0;
    std::size_t offset = 0;   // where the last new frame's data began
    std::size_t lastSize = 0;
    int lastNumber = 0;       // block 1 follows "block 0"
    bool complete = false;
    while (pos < line.size()) {
        const std::uint8_t b = line[pos];
        if (b == XM_EOT) {
            complete = offset + lastSize >= file.size();
            ++pos;
            continue;
        }
        if (b == XM_CAN || b == XM_BS) {
            ++pos;
            continue;
        }
        FUZZ_CHECK(b == XM_SOH || b == XM_STX);
        const std::size_t size = b == XM_SOH ? 128 : 1024;
        FUZZ_CHECK(pos + 3 + size + 1 <= line.size());
        const int number = line[pos + 1];
        FUZZ_CHECK(line[pos + 2] == 255 - number);
        const std::uint8_t* data = line.data() + pos + 3;
        const unsigned c = crc.compute(data, static_cast<unsigned>(size), 0);
        std::size_t checkBytes = 1;
        if (pos + 3 + size + 2 <= line.size() && line[pos + 3 + size] == ((c >> 8) & 0xFF) &&
            line[pos + 4 + size] == (c & 0xFF))
            checkBytes = 2;
        else
            FUZZ_CHECK(line[pos + 3 + size] == (sum.compute(data, static_cast<unsigned>(size), 0) & 0xFF));
        if (number != lastNumber) {
            FUZZ_CHECK(number == ((lastNumber + 1) & 0xFF));
            offset += lastSize;
            lastNumber = number;
        }
        lastSize = size;
        for (std::size_t i = 0; i < size; ++i)
            FUZZ_CHECK(data[i] == (offset + i < file.size() ? file[offset + i] : 0));
        pos += 3 + size + checkBytes;
    }
    return complete;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const std::size_t fileSize = ((static_cast<std::size_t>(in.byte()) << 8) | in.byte()) % 3000;
    std::vector<std::uint8_t> contents(fileSize);
    for (std::size_t i = 0; i < fileSize; ++i)
        contents[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));

    testkit::VirtualClock clock(1000);
    testkit::FakePort port(clock);
    port.idleStepMs = 20;
    port.txBytesPerMs = setup & 2 ? 6 : 0;  // 57600 baud, or output that leaves at once
    fuzz::queueFarEnd(port, in);

    MemoryFileEngine file(contents);
    TransferStatus status;
    int result = 0;
    {
        CommLink link(&port, &clock);
        Xmodem1kTransfer transfer(&link, &status);
        status.variant = setup & 1;
        transfer.setFileEngine(&file);
        result = transfer.sendFile("fuzz.bin");
    }
    FUZZ_CHECK(result <= 0);
    FUZZ_CHECK(status.bytesDone <= fileSize);
    const bool complete = checkLine(port.writtenBytes(), contents);
    // Success means the whole file went out and EOT after it.
    if (result == 0)
        FUZZ_CHECK(complete);
    FUZZ_CHECK(clock.tickMs() - 1000 < 60u * 60 * 1000);
    return 0;
}
