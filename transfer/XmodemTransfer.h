// The XMODEM-family transfer engine (128- and 1024-byte blocks, CRC-16 with
// fall-back to the one-byte checksum, streaming variants).
#pragma once

#include <cstdint>

#include "transfer/FileTransfer.h"

// Control bytes on the line.
enum XmodemByte : int {
    XM_SOH = 0x01,  // header of a 128-byte block
    XM_STX = 0x02,  // header of a 1024-byte block
    XM_EOT = 0x04,  // end of file
    XM_ACK = 0x06,
    XM_BS = 0x08,   // second half of the cancel sequence
    XM_NAK = 0x15,  // block refused, or start request in checksum mode
    XM_CAN = 0x18,
    XM_CRC_START = 'C',
    XM_STREAM_START = 'G',
};

// Moves one file per call, synchronously, in the calling thread. Blocks are
// numbered from 1; no header block, no name or size goes over the line.
// Variants (status->variant): 0 128-byte blocks; 1 and 2 1024-byte blocks
// while more than 896 bytes remain; 3 and 4 streaming with 'G'.
//
// Every wait takes its time from the link's clock. A call ends, successfully
// or not, within bounded time unless the status hook keeps it going: the
// longest silent waits are 10 s per start/ACK attempt (ten attempts), 5 or
// 10 s per header (ten in a row), 60 s for the port to take a block, and
// for a queued block to leave, 60 s more than the line needs to carry it
// at the port's rate (a 1 KiB block takes 68 s at 150 baud).
// After a failure the engine sends the cancel sequence, waits one second and
// reads away what the peer still sends, so the line is quiet for the next
// console command.
class XmodemTransfer : public BlockTransfer {
public:
    // Variant 0, CRC mode, check kind "16 bit CRC".
    XmodemTransfer(CommLink* link, TransferStatus* status);
    ~XmodemTransfer() override;

    // Sends the first file the name list resolves to. 0 success; -926 when
    // no file matches (the status result stays 0); else the negative result.
    int sendFile(const char* name) override;
    // Receives into name (created or emptied). 0 success, else the negative
    // result; the file then keeps the whole blocks received so far, so a
    // caller must trust its content only after a 0. A received file's length
    // is a multiple of 128 (the sender's padding is kept).
    int receiveFile(const char* name) override;
    int prepare() override;

    // Ten CAN followed by ten BS.
    static const std::uint8_t cancelSequence[20];

    // Time-outs in ms of the link clock.
    static constexpr int kCharSendTimeoutMs = 30000;
    static constexpr int kBufferSendTimeoutMs = 60000;
    static constexpr int kReadStepMs = 1000;
    static constexpr int kFirstHeaderMs = 5000;
    static constexpr int kNextHeaderMs = 10000;
    static constexpr int kFrameByteMs = 1000;
    static constexpr int kDataByteMs = 4000;
    static constexpr int kQuietLineMs = 1000;
    static constexpr int kSettleMs = 1000;
    static constexpr int kSettleReadMs = 55;
    static constexpr int kFrameNapMs = 100;     // longest sleep while a frame arrives
    static constexpr int kFrameTailBytes = 8;   // read as they come, not slept for
    // Longest a purge or drain reads a line that never falls quiet.
    static constexpr int kMaxDrainMs = 60000;
    static constexpr int kMaxErrors = 10;
    static constexpr int kMaxMessage = 83;

protected:
    // Shared line and status helpers (XmodemTransfer.cpp).
    [[gnu::format(printf, 2, 3)]] void message(const char* format, ...);
    void setResult(int code);
    int sendChar(int ch);
    int sendBuffer(const std::uint8_t* bytes, int len);
    bool checkAbort();
    int readWithin(int budgetMs);
    int purgeLine();
    void drain();
    void cleanup();
    bool openFile();
    void useCrc();
    void useChecksum();
    bool streaming() const;

    // Sending (XmodemSend.cpp).
    void sendLoop();
    bool waitStart();
    bool readBlock();
    bool sendBlock();
    bool waitAck();
    bool waitOutputDrained();

    // Receiving (XmodemReceive.cpp).
    void receiveLoop();
    int sendStartRequest();
    int getBlock();
    int waitHeader();
    bool readFrame();
    void awaitFrameBytes(int count);
    void refuseBrokenFrame();

    // readWithin() results besides a character.
    static constexpr int kWaitTimedOut = -1;
    static constexpr int kWaitEnded = -2;
};
