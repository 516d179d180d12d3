// The scripted far end of the XMODEM fuzz targets.
#include "fuzz/XmodemScript.h"

#include "testkit/XmodemPeers.h"
#include "transfer/XmodemTransfer.h"

namespace fuzz {

std::size_t queueFarEnd(testkit::FakePort& port, FuzzInput& in)
{
    static const std::uint8_t kSingles[] = {XM_ACK, XM_NAK, XM_CRC_START, XM_STREAM_START};
    std::size_t queued = 0;
    int next = 1;
    std::uint32_t at = 0;
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        const std::uint32_t delayMs = static_cast<std::uint32_t>(op >> 3) * 40;
        std::vector<std::uint8_t> bytes;
        switch (op & 7) {
        case 0:
            bytes = in.take(in.byte() % 48);
            break;
        case 1:
            bytes = {kSingles[in.byte() & 3]};
            break;
        case 2:
        case 3:
        case 4:
        case 5: {
            const std::uint8_t how = in.byte();
            // Mostly the next block; sometimes a repeat, a jump or any number.
            int number = next;
            switch (how & 3) {
            case 1: number = next - 1; break;
            case 2: number = next + 1 + (how >> 4); break;
            case 3: number = in.byte(); break;
            default: ++next; break;
            }
            const bool oneK = (op & 7) == 3;
            const bool crc = (op & 7) != 4;
            std::vector<std::uint8_t> data = in.take(in.byte() % 64);
            bytes = testkit::xmodemFrame(number & 0xFF, data, oneK ? 1024 : 128, crc, how & 4 ? 0x1A : 0x00);
            if ((op & 7) == 5 && !bytes.empty())
                bytes[in.byte() % bytes.size()] ^= static_cast<std::uint8_t>(1 + in.byte() % 255);
            if (how & 8)
                bytes.resize(bytes.size() - 1 - in.byte() % (bytes.size() - 1));  // cut short
            break;
        }
        case 6:
            bytes = {XM_EOT};
            break;
        default:
            bytes = {XM_CAN, XM_CAN};
            break;
        }
        at += delayMs;
        port.deliver(bytes, at);
        queued += bytes.size();
    }
    return queued;
}

} // namespace fuzz
