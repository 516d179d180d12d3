// Base classes of the transfer objects: FileTransfer (link, status, file
// engine) and BlockTransfer (block buffer, check, start/ack state).
#pragma once

#include <cstdint>
#include <memory>

#include "transfer/BlockCheck.h"
#include "transfer/FileEngine.h"
#include "transfer/TransferStatus.h"

class CommLink;
class LineState;

// A transfer moves one file per call over a link and reports through a
// TransferStatus. It belongs to the thread that calls it.
class FileTransfer {
public:
    // link: not owned, must outlive the transfer. status: not owned; null
    // makes the transfer create and own one.
    FileTransfer(CommLink* link, TransferStatus* status);
    virtual ~FileTransfer();                                                  // 0

    // Sends the first file that the name list resolves to. A class that can
    // send overrides this; the base ends the process with a library error.
    virtual int sendFile(const char* name);                                  // 1
    // Receives into the named file. As above.
    virtual int receiveFile(const char* name);                               // 2
    // Uses engine (not owned) from now on; 1, or 0 when engine is null.
    virtual int setFileEngine(FileEngine* engine);                           // 3
    // Nonzero: loss of carrier (DCD) aborts a transfer.
    virtual void setCarrierWatch(int value);                                 // 4

    int ownsFileEngine = 1;
    int fileOpen = 0;
    int ownsStatus = 0;
    int carrierWatch = 0;
    CommLink* link;                      // not owned
    LineState* lineState;                // the link's, not owned; may be null
    TransferStatus* status;              // owned when ownsStatus
    FileEngine* fileEngine = nullptr;    // owned when ownsFileEngine

    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;
};

// A transfer in fixed-size blocks with a check per block.
class BlockTransfer : public FileTransfer {
public:
    static constexpr int kBufferSize = 1024;

    // Allocates the zero-filled block buffer and a Crc16 check.
    BlockTransfer(CommLink* link, TransferStatus* status);
    ~BlockTransfer() override;

    // Makes the transfer ready for a call: 1 ready, 0 failed (result set).
    virtual int prepare() = 0;                                               // 5

    std::unique_ptr<std::uint8_t[]> buffer;  // kBufferSize bytes; null when allocation failed
    std::unique_ptr<Checksum8> check;        // the current block check
    int crcMode = 1;                         // 1 CRC-16, 0 one-byte checksum
    int lastChar = -1;                       // last control character read by a wait
    int waitMs = 10000;                      // sender's wait for a start request or an ACK
};
