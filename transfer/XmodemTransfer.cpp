// XMODEM engine: construction, preparation and the line and status helpers
// shared by the send and receive paths.
#include "transfer/XmodemTransfer.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "comlink/CommLink.h"
#include "comlink/LineState.h"

const std::uint8_t XmodemTransfer::cancelSequence[20] = {
    XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN, XM_CAN,
    XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,  XM_BS,
};

XmodemTransfer::XmodemTransfer(CommLink* link, TransferStatus* status)
    : BlockTransfer(link, status)
{
    this->status->variant = 0;
    this->status->checkKind = CHECK_CRC16;
}

XmodemTransfer::~XmodemTransfer()
{
    if (fileOpen && fileEngine)
        fileEngine->close();
}

void XmodemTransfer::message(const char* format, ...)
{
    char text[kMaxMessage + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    status->message(text);
}

// Records a failure. The first failure of a call is the one reported: a
// later failure (say, the cancel sequence not leaving after an abort) does
// not hide it. A byte time-out is refined by the caller that knows which
// byte it was.
void XmodemTransfer::setResult(int code)
{
    if (status->result == 0 || status->result == XFER_CHAR_TIMEOUT)
        status->result = code;
}

bool XmodemTransfer::streaming() const
{
    return status->variant == 3 || status->variant == 4;
}

void XmodemTransfer::useCrc()
{
    if (crcMode)
        return;
    check = std::make_unique<Crc16>();
    crcMode = 1;
    status->checkKind = CHECK_CRC16;
}

void XmodemTransfer::useChecksum()
{
    check = std::make_unique<Checksum8>();
    crcMode = 0;
    status->checkKind = CHECK_SUM8;
}

int XmodemTransfer::prepare()
{
    if (!link) {
        setResult(COMM_GENERAL_FAILURE);
        return 0;
    }
    if (!buffer) {
        message("Failed to allocate XFER buffer(s)");
        setResult(XFER_NO_BUFFER);
        cleanup();
        return 0;
    }
    if (!fileEngine && ownsFileEngine)
        fileEngine = createFileEngine().release();
    if (!fileEngine) {
        message("File engine is not available");
        setResult(XFER_NO_FILE_ENGINE);
        cleanup();
        return 0;
    }
    if (status->variant < 4)
        lastChar = -1;
    return 1;
}

// Returns 0 when the port took ch; else the failure (-805 after 30 s, or
// the abort or port code, which is then in result).
int XmodemTransfer::sendChar(int ch)
{
    const std::uint32_t deadline = link->tickMs() + kCharSendTimeoutMs;
    int nextReport = kCharSendTimeoutMs / 1000 - 5;
    int r = link->writeChar(ch);
    while (r != 0) {
        int remaining = static_cast<int>(deadline - link->tickMs());
        if (remaining <= 0) {
            message("Timeout error sending buffer");
            setResult(XFER_CHAR_TIMEOUT);
            return COMM_OUTPUT_INCOMPLETE;
        }
        if (checkAbort())
            return status->result;
        int r2 = link->idle();
        if (r2 < 0) {
            setResult(r2);
            return r2;
        }
        int secs = remaining / 1000;
        if (secs <= nextReport) {
            message("%d sec left to WriteChar", secs);
            nextReport -= 5;
        }
        r = link->writeChar(ch);
    }
    return 0;
}

// Hands len bytes to the port: one write, then byte by byte for what did
// not fit. len (or 0) when all went; -901 aborted; -925 when the port took
// nothing more for 60 s; a failing port's code.
int XmodemTransfer::sendBuffer(const std::uint8_t* bytes, int len)
{
    const std::uint32_t deadline = link->tickMs() + kBufferSendTimeoutMs;
    int nextReport = kBufferSendTimeoutMs / 1000 - 5;
    if (checkAbort())
        return XFER_ABORTED;
    int n = link->write(bytes, len);
    if (n == len)
        return len;
    int pos = n > 0 && n < len ? n : 0;
    for (;;) {
        int took = 0;
        while (pos < len && link->writeChar(bytes[pos]) == 0) {
            ++pos;
            ++took;
        }
        int remaining = static_cast<int>(deadline - link->tickMs());
        if (took == 0 && remaining <= 0) {
            message("Timeout error sending buffer");
            setResult(XFER_BUFFER_TIMEOUT);
            return XFER_BUFFER_TIMEOUT;
        }
        if (pos >= len)
            return 0;
        if (checkAbort())
            return XFER_ABORTED;
        int r = link->idle();
        if (r < 0) {
            setResult(r);
            return r;
        }
        int secs = remaining / 1000;
        if (secs <= nextReport) {
            message("%d sec to complete WriteBuffer", secs);
            nextReport -= 5;
        }
    }
}

// True when the transfer was just ended by the caller's abort request or
// the loss of carrier (result set, clean-up done). A transfer that has
// already failed is not aborted again, so its clean-up can still talk.
bool XmodemTransfer::checkAbort()
{
    status->notify(status->result);
    if (status->result < 0)
        return false;
    int a = status->abortQuery();
    if (a < 0) {
        status->result = a;
        message("Transfer aborted...");
        cleanup();
        return true;
    }
    if (carrierWatch) {
        bool present = false;
        if (lineState) {
            lineState->refresh();
            present = lineState->carrierPresent() != 0;
        }
        if (!present) {
            status->result = XFER_CARRIER_LOST;
            message("Transfer aborted...");
            cleanup();
            return true;
        }
    }
    return false;
}

// Reads one character, in steps of one second, within budgetMs. The
// character; kWaitTimedOut; or kWaitEnded (aborted, or the port failed:
// result set).
int XmodemTransfer::readWithin(int budgetMs)
{
    int ch = link->readChar(kReadStepMs);
    while (ch == COMM_NO_CHARACTER) {
        if (checkAbort())
            return kWaitEnded;
        budgetMs -= kReadStepMs;
        if (budgetMs <= 0)
            return kWaitTimedOut;
        ch = link->readChar(kReadStepMs);
    }
    if (ch < 0) {
        setResult(ch);
        return kWaitEnded;
    }
    return ch;
}

// Reads until the line has been quiet for a second, after a frame broke
// off. Only silence ends it (a 0x00 data byte is not silence); a line that
// never falls quiet is left after kMaxDrainMs. 1 done, 0 the transfer ended.
int XmodemTransfer::purgeLine()
{
    const std::uint32_t end = link->tickMs() + kMaxDrainMs;
    for (;;) {
        if (checkAbort() || status->result != 0)
            return 0;
        while (link->readChar(0) >= 0 && tickBefore(link->tickMs(), end)) {
        }
        int ch = link->readChar(kQuietLineMs);
        if (ch == COMM_NO_CHARACTER || !tickBefore(link->tickMs(), end))
            return 1;
        if (ch < 0) {
            setResult(ch);
            return 0;
        }
    }
}

// Reads away what follows an unexpected character until a second passes
// without one (at most kMaxDrainMs). The abort check ends it.
void XmodemTransfer::drain()
{
    const std::uint32_t end = link->tickMs() + kMaxDrainMs;
    for (;;) {
        int ch = link->readChar(kQuietLineMs);
        if (ch < 0) {
            if (ch != COMM_NO_CHARACTER)
                setResult(ch);
            return;
        }
        if (checkAbort() || !tickBefore(link->tickMs(), end))
            return;
    }
}

// Closes the file; after a failure, cancels the peer and lets the line
// fall quiet. Output is never purged: what was queued (the last ACK, the
// cancel sequence) must still leave.
void XmodemTransfer::cleanup()
{
    if (fileOpen) {
        int rc = fileEngine->close();
        fileOpen = 0;
        // A received file that may not have reached the disk is no success.
        if (rc != 0 && status->direction == DIRECTION_RECEIVE)
            setResult(XFER_WRITE_SHORT);
    }
    if (status->result == 0)
        return;
    int variant = status->variant;
    if (variant <= 4 || (variant == 7 && status->result != XFER_REMOTE_CANCEL))
        sendBuffer(cancelSequence, sizeof cancelSequence);
    link->wait(kSettleMs);
    const std::uint32_t end = link->tickMs() + kMaxDrainMs;
    while (link->rxCount() > 0 && tickBefore(link->tickMs(), end)) {
        int ch = link->readChar(kSettleReadMs);
        if (ch < 0 && ch != COMM_NO_CHARACTER)
            break;
    }
}

// Opens the file of this call: for sending the path the walk found, for
// receiving the name given. False when it failed or the call was aborted.
bool XmodemTransfer::openFile()
{
    status->bytesDone = 0;
    int r;
    if (status->direction == DIRECTION_SEND) {
        status->setFileName(fileEngine->nameBuffer());
        r = fileEngine->open(fileEngine->nameBuffer(), "rb");
    } else {
        std::string name = status->fileNameSnapshot();
        message("Opening file %s", name.c_str());
        r = fileEngine->open(name.c_str(), "wb");
    }
    if (r != 0) {
        setResult(XFER_OPEN_FAILED);
        message("Failed to open file");
        cleanup();
        return false;
    }
    fileOpen = 1;
    status->filesOpened += 1;
    if (status->direction == DIRECTION_SEND) {
        int size = fileEngine->size();
        status->fileSize = size > 0 ? static_cast<unsigned>(size) : 0;
    }
    return !checkAbort();
}
