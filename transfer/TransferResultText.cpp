// The meanings of the transfer and file engine result codes.
#include "transfer/FileEngine.h"
#include "transfer/TransferStatus.h"

#include "comlink/CommPort.h"

namespace {

struct Meaning {
    int code;
    const char* text;
};

constexpr Meaning kMeanings[] = {
    {XFER_ABORTED, "transfer aborted"},
    {XFER_OPEN_FAILED, "the file could not be opened"},
    {XFER_EMPTY_FILE, "the file to send is empty"},
    {XFER_WRITE_SHORT, "the received file could not be written"},
    {XFER_TOO_MANY_ERRORS, "too many errors"},
    {XFER_NO_START, "the other side never started"},
    {XFER_EOT_FAILED, "end of file could not be sent"},
    {XFER_REMOTE_CANCEL, "the other side cancelled"},
    {XFER_NO_BUFFER, "no block buffer"},
    {XFER_BAD_HEADER, "bad block header"},
    {XFER_START_SEND_FAILED, "start request could not be sent"},
    {XFER_ACK_SEND_FAILED, "acknowledgement could not be sent"},
    {XFER_CHAR_TIMEOUT, "time-out sending a byte"},
    {XFER_BUFFER_TIMEOUT, "time-out sending a block"},
    {XFER_NO_FILE, "no file to send"},
    {XFER_NO_FILE_ENGINE, "no file engine"},
    {XFER_CARRIER_LOST, "carrier lost"},
    {FILE_ENGINE_BUSY, "file engine: a file is already open"},
    {FILE_ENGINE_OPEN_FAILED, "file engine: the file could not be opened or created"},
    {FILE_ENGINE_CLOSE_FAILED, "file engine: closing the file failed"},
    {FILE_ENGINE_NOT_OPEN, "file engine: no file open"},
    {FILE_ENGINE_SEEK_FAILED, "file engine: seek failed"},
    {FILE_ENGINE_TELL_FAILED, "file engine: position unknown"},
    {FILE_ENGINE_NO_MEMORY, "file engine: out of memory"},
};

} // namespace

const char* transferResultText(int code)
{
    for (const Meaning& m : kMeanings)
        if (m.code == code)
            return m.text;
    // The link's codes (and 0) pass through the engine unchanged.
    return commResultText(code);
}
