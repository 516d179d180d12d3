// XMODEM engine, sending side: start wait, blocks, acknowledgements, EOT.
#include "transfer/XmodemTransfer.h"

#include <algorithm>
#include <cstring>

#include "comlink/CommLink.h"

int XmodemTransfer::sendFile(const char* name)
{
    status->reset(DIRECTION_SEND);
    if (!prepare())
        return status->result;
    fileEngine->start(name, 0);
    useCrc();
    if (fileEngine->nextFile() != 1) {
        cleanup();
        return XFER_NO_FILE;
    }
    link->purgeInput(0);
    sendLoop();
    return status->result;
}

void XmodemTransfer::sendLoop()
{
    status->blockNumber = 1;
    if (!openFile())
        return;
    if (!waitStart()) {
        cleanup();
        return;
    }
    if (!readBlock()) {
        setResult(XFER_EMPTY_FILE);
        cleanup();
        return;
    }
    for (;;) {
        bool sent;
        if (status->blockSize != 0) {
            sent = sendBlock();
        } else {
            message("File transmission complete");
            sent = sendChar(XM_EOT) == 0;
            if (!sent)
                setResult(XFER_EOT_FAILED);
        }
        if (!sent) {
            cleanup();
            return;
        }
        if (waitAck()) {
            status->consecutiveErrors = 0;
            if (status->blockSize == 0) {
                cleanup();
                return;
            }
            // At the end of the file this leaves blockSize 0: EOT goes next.
            // A file that ends before its measured size ends the transfer.
            if (!readBlock() && status->bytesDone < status->fileSize) {
                message("File read failed after %u bytes", status->bytesDone.load());
                setResult(XFER_EMPTY_FILE);
                cleanup();
                return;
            }
            continue;
        }
        if (status->result != 0) {
            cleanup();
            return;
        }
        status->errorCount += 1;
        if (status->errorCount >= kMaxErrors) {
            message("Exceeded maximum error count");
            setResult(XFER_TOO_MANY_ERRORS);
            cleanup();
            return;
        }
    }
}

// Waits for the receiver's start request; NAK also switches to the
// checksum. Each attempt waits waitMs; ten failed attempts give -909.
bool XmodemTransfer::waitStart()
{
    for (;;) {
        int ch = readWithin(waitMs);
        if (ch == kWaitEnded)
            return false;
        if (ch >= 0) {
            int prev = lastChar;
            lastChar = ch;
            switch (ch) {
            case XM_NAK:
                if (crcMode) {
                    message("Falling back to checksum mode");
                    useChecksum();
                }
                return true;
            case XM_CAN:
                if (prev == XM_CAN) {
                    setResult(XFER_REMOTE_CANCEL);
                    message("Remote end sent cancel code");
                    return false;
                }
                break;
            case XM_CRC_START:
                if (crcMode && status->variant < 3)
                    return true;
                break;
            case XM_STREAM_START:
                if (status->variant >= 3)
                    return true;
                break;
            default:
                drain();
                break;
            }
            if (status->result != 0)
                return false;
        }
        status->errorCount += 1;
        if (status->errorCount >= kMaxErrors) {
            setResult(XFER_NO_START);
            return false;
        }
    }
}

// Reads the next block into the buffer, padded with 0x00. False at the end
// of the file (blockSize 0).
bool XmodemTransfer::readBlock()
{
    int size = 128;
    if (status->variant != 0 && status->fileSize - status->bytesDone > 896u)
        size = 1024;
    status->blockSize = size;
    unsigned n = fileEngine->read(buffer.get(), static_cast<unsigned>(size));
    if (n == 0) {
        status->blockSize = 0;
        return false;
    }
    std::memset(buffer.get() + n, 0, static_cast<std::size_t>(size) - n);
    status->frameNumber = status->blockNumber & 0xFF;
    status->blockNumber += 1;
    status->bytesDone += n;
    return true;
}

bool XmodemTransfer::sendBlock()
{
    message("Sending block %d", status->blockNumber.load() - 1);
    if (sendChar(status->blockSize == 128 ? XM_SOH : XM_STX) != 0) {
        message("Error sending first character");
        setResult(XFER_BUFFER_TIMEOUT);
        return false;
    }
    int r1 = sendChar(status->frameNumber);
    int r2 = sendChar(255 - status->frameNumber);
    if (r1 != 0 || r2 != 0) {
        message("Error sending block number");
        setResult(XFER_BUFFER_TIMEOUT);
        return false;
    }
    if (sendBuffer(buffer.get(), status->blockSize) < 0)
        return false;
    unsigned value = check->compute(buffer.get(), static_cast<unsigned>(status->blockSize), 0);
    status->checkValue = static_cast<int>(value);
    bool ok = crcMode ? sendChar((value >> 8) & 0xFF) == 0 && sendChar(value & 0xFF) == 0
                      : sendChar(value & 0xFF) == 0;
    if (!ok) {
        message("Error sending checksum");
        setResult(XFER_BUFFER_TIMEOUT);
        return false;
    }
    return true;
}

// Waits until the port's output queue is empty. The queue drains by itself
// without flow control, in the time the line needs to carry it; one that
// stays full for that time and the block time-out more means the port is
// stuck, and the transfer ends rather than wait for ever. The port sleeps
// until the queue should be empty, waking at least every second to look at
// the abort request.
bool XmodemTransfer::waitOutputDrained()
{
    const int queued = link->txCount();
    if (queued <= 0)
        return true;
    const std::uint32_t deadline =
        link->tickMs() + static_cast<std::uint32_t>(kBufferSendTimeoutMs + link->lineTimeMs(queued));
    while (link->txCount() > 0) {
        if (checkAbort())
            return false;
        const auto left = static_cast<std::int32_t>(deadline - link->tickMs());
        if (left <= 0) {
            message("Timeout error sending buffer");
            setResult(XFER_BUFFER_TIMEOUT);
            return false;
        }
        int r = link->idle(std::min<int>(left, kReadStepMs));
        if (r < 0) {
            setResult(r);
            return false;
        }
    }
    return true;
}

// True when the block (or EOT) was acknowledged. False with result 0 asks
// for the same block again; with a result, the transfer is over.
bool XmodemTransfer::waitAck()
{
    if (!streaming() && !waitOutputDrained())
        return false;
    if (status->blockSize != 0 && streaming() && link->rxCount() == 0)
        return true;
    int ch = readWithin(waitMs);
    if (ch < 0)
        return false;
    int prev = lastChar;
    lastChar = ch;
    switch (ch) {
    case XM_ACK:
        return true;
    case XM_NAK:
        if (streaming())
            setResult(XFER_REMOTE_CANCEL);
        return false;
    case XM_CAN:
        if (streaming() || prev == XM_CAN)
            setResult(XFER_REMOTE_CANCEL);
        return false;
    default:
        drain();
        return false;
    }
}
