// Base transfer classes: ownership of status and file engine, the buffer,
// and the library error for a transfer that cannot send or receive.
#include "transfer/FileTransfer.h"

#include <new>

#include "comlink/CommLink.h"
#include "comlink/LibraryError.h"

FileTransfer::FileTransfer(CommLink* link, TransferStatus* status)
    : link(link), lineState(link ? link->lineState : nullptr), status(status)
{
    if (!this->status) {
        this->status = new TransferStatus();
        ownsStatus = 1;
    }
}

FileTransfer::~FileTransfer()
{
    if (ownsFileEngine)
        delete fileEngine;
    if (ownsStatus)
        delete status;
}

int FileTransfer::sendFile(const char* /*name*/)
{
    libraryError("TRANSFER", 435);
}

int FileTransfer::receiveFile(const char* /*name*/)
{
    libraryError("TRANSFER", 437);
}

int FileTransfer::setFileEngine(FileEngine* engine)
{
    if (!engine)
        return 0;
    // An engine this transfer made for itself is no longer needed.
    if (ownsFileEngine && fileEngine != engine)
        delete fileEngine;
    fileEngine = engine;
    ownsFileEngine = 0;
    return 1;
}

void FileTransfer::setCarrierWatch(int value)
{
    carrierWatch = value;
}

BlockTransfer::BlockTransfer(CommLink* link, TransferStatus* status)
    : FileTransfer(link, status),
      buffer(new (std::nothrow) std::uint8_t[kBufferSize]()),
      check(std::make_unique<Crc16>())
{
}

BlockTransfer::~BlockTransfer() = default;
