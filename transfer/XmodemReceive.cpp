// XMODEM engine, receiving side: start requests, frames, duplicates,
// refusals and the fall-back to the checksum.
#include "transfer/XmodemTransfer.h"

#include <algorithm>

#include "comlink/CommLink.h"

int XmodemTransfer::receiveFile(const char* name)
{
    status->reset(DIRECTION_RECEIVE);
    status->setFileName(name);
    if (!prepare())
        return status->result;
    fileEngine->start(name, 0);
    useCrc();
    link->purgeInput(0);
    receiveLoop();
    return status->result;
}

void XmodemTransfer::receiveLoop()
{
    status->errorCount = 0;
    status->blockNumber = 1;
    if (!openFile())
        return;
    if (sendStartRequest() != 0) {
        cleanup();
        return;
    }
    for (;;) {
        int header = getBlock();
        if (header == 0) {
            cleanup();
            return;
        }
        if (header == XM_EOT) {
            if (sendChar(XM_ACK) != 0)
                setResult(XFER_ACK_SEND_FAILED);
            message("End of file, cleaning up");
            cleanup();
            return;
        }
        unsigned size = static_cast<unsigned>(status->blockSize);
        if (fileEngine->write(buffer.get(), size) < size) {
            setResult(XFER_WRITE_SHORT);
            cleanup();
            return;
        }
        status->bytesDone += size;
        if (status->variant <= 2 && sendChar(XM_ACK) != 0)
            setResult(XFER_ACK_SEND_FAILED);
        status->consecutiveErrors = 0;
        if (status->result != 0) {
            cleanup();
            return;
        }
    }
}

// NAK once a block has arrived; before that 'G' (streaming), 'C' (CRC) or
// NAK (checksum). 0 sent, -1 not sent (result -922).
int XmodemTransfer::sendStartRequest()
{
    int ch;
    if (status->blockNumber >= 2)
        ch = XM_NAK;
    else if (status->variant > 2)
        ch = XM_STREAM_START;
    else
        ch = crcMode ? XM_CRC_START : XM_NAK;
    if (sendChar(ch) != 0) {
        setResult(XFER_START_SEND_FAILED);
        return -1;
    }
    return 0;
}

// The header of the next block, or EOT; 0 when the transfer is over
// (result set). Refused and repeated blocks are handled here.
int XmodemTransfer::getBlock()
{
    for (;;) {
        if (status->consecutiveErrors >= kMaxErrors) {
            setResult(XFER_TOO_MANY_ERRORS);
            return 0;
        }
        if (checkAbort())
            return 0;
        int header = waitHeader();
        if (header == XM_EOT)
            return XM_EOT;
        if (header != 0) {
            status->blockSize = header == XM_SOH ? 128 : 1024;
            if (!readFrame()) {
                if (status->result == 0)
                    refuseBrokenFrame();
            } else {
                const int expected = status->blockNumber & 0xFF;
                const int previous = (status->blockNumber - 1) & 0xFF;
                const unsigned size = static_cast<unsigned>(status->blockSize);
                if (status->frameNumber == previous) {
                    // Our ACK was lost: acknowledge again, do not write twice.
                    if (sendChar(XM_ACK) == 0) {
                        status->errorCount += 1;
                        status->consecutiveErrors += 1;
                        message("Duplicate block %d", status->blockNumber.load());
                    } else {
                        setResult(XFER_ACK_SEND_FAILED);
                    }
                } else if (status->frameNumber != expected) {
                    if (sendStartRequest() == 0) {
                        status->errorCount += 1;
                        status->consecutiveErrors += 1;
                        message("Bad block number waiting for number %d", status->blockNumber.load());
                    }
                } else if (check->compute(buffer.get(), size, 0) != static_cast<unsigned>(status->checkValue)) {
                    if (sendStartRequest() == 0) {
                        status->errorCount += 1;
                        status->consecutiveErrors += 1;
                        message("Bad checksum value on block number %d", status->blockNumber.load());
                    }
                } else {
                    message("Read %d byte block %d", status->blockSize, status->blockNumber.load());
                    status->blockNumber += 1;
                    return header;
                }
            }
        }
        if (status->result != 0)
            return 0;
        if (status->consecutiveErrors >= kMaxErrors) {
            setResult(XFER_TOO_MANY_ERRORS);
            return 0;
        }
    }
}

// SOH, STX or EOT; 0 on failure (counted, start request sent again; result
// set when the transfer is over). After three failures for the first block
// the receiver falls back to the checksum and asks with NAK.
int XmodemTransfer::waitHeader()
{
    int ch = readWithin(status->blockNumber >= 2 ? kNextHeaderMs : kFirstHeaderMs);
    if (ch == kWaitEnded)
        return 0;
    if (ch >= 0) {
        int prev = lastChar;
        lastChar = ch;
        if (ch == XM_SOH || ch == XM_STX || ch == XM_EOT)
            return ch;
        if (ch == XM_CAN) {
            if (prev == XM_CAN) {
                setResult(XFER_REMOTE_CANCEL);
                return 0;
            }
        } else {
            drain();
            if (status->result != 0)
                return 0;
        }
    }
    status->errorCount += 1;
    status->consecutiveErrors += 1;
    if (status->consecutiveErrors > 2 && status->blockNumber == 1 && status->variant <= 2 && crcMode)
        useChecksum();
    sendStartRequest();
    if (status->consecutiveErrors >= kMaxErrors)
        setResult(XFER_NO_START);
    return 0;
}

// Reads block number, complement, data and check after a header. False
// when a byte did not come in time or the number pair does not match
// (result set only when the port failed).
bool XmodemTransfer::readFrame()
{
    auto missing = [this](int ch) {
        if (ch != COMM_NO_CHARACTER)
            setResult(ch);
        return false;
    };
    int number = link->readChar(kFrameByteMs);
    if (number < 0)
        return missing(number);
    int complement = link->readChar(kFrameByteMs);
    if (complement < 0)
        return missing(complement);
    if (number != 255 - complement)
        return false;
    status->frameNumber = number;
    awaitFrameBytes(status->blockSize + (crcMode ? 2 : 1));
    for (int i = 0; i < status->blockSize; ++i) {
        int ch = link->readChar(kDataByteMs);
        if (ch < 0)
            return missing(ch);
        buffer[i] = static_cast<std::uint8_t>(ch);
    }
    int first = link->readChar(kFrameByteMs);
    if (first < 0)
        return missing(first);
    int value = first;
    if (crcMode) {
        int second = link->readChar(kFrameByteMs);
        if (second < 0)
            return missing(second);
        value = (first << 8) + second;
    }
    status->checkValue = value;
    return true;
}

// Lets the rest of a frame that is coming in reach the input queue before
// it is read byte by byte: sleeps of the time the missing bytes need on the
// wire (at most kFrameNapMs) instead of a wake-up for every byte. The last
// few bytes are left to the reads, which wake as each arrives, so the
// answer leaves as soon as the frame is complete. A sleep may end at once
// on input that was already queued; the wait stops when a whole sleep, or
// kFrameNapMs, brought nothing, and leaves a line that stalls to the reads'
// own time-outs.
void XmodemTransfer::awaitFrameBytes(int count)
{
    const int target = count - kFrameTailBytes;
    int queued = link->rxCount();
    std::uint32_t lastGrowth = link->tickMs();
    while (queued < target) {
        const std::uint32_t before = link->tickMs();
        const int napMs = std::min(link->lineTimeMs(target - queued), kFrameNapMs);
        if (link->idle(napMs) < 0)
            return;
        const int now = link->rxCount();
        const std::uint32_t after = link->tickMs();
        if (now > queued) {
            queued = now;
            lastGrowth = after;
        } else if (after - before >= static_cast<std::uint32_t>(napMs) ||
                   after - lastGrowth >= static_cast<std::uint32_t>(kFrameNapMs)) {
            return;
        }
    }
}

// A frame that broke off: let the rest of it pass first, then ask again, so
// that the block sent in answer is not swallowed by the purge.
void XmodemTransfer::refuseBrokenFrame()
{
    if (!purgeLine())
        return;
    if (sendStartRequest() == 0) {
        status->errorCount += 1;
        status->consecutiveErrors += 1;
    }
}
