// The transfer status record shared by the engine, its caller and the
// progress display: result, counters and the engine's hooks.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

// Transfer result codes (negative; 0 is success). A failing port may also
// surface as its own negative code (-801..-842).
enum TransferResult : int {
    XFER_ABORTED = -901,            // sendBuffer stopped by the abort check
    XFER_OPEN_FAILED = -902,
    XFER_EMPTY_FILE = -903,         // sender: no data for the first block (or the file ended early)
    XFER_WRITE_SHORT = -904,        // receiver: the file took fewer bytes than the block held
    XFER_TOO_MANY_ERRORS = -908,
    XFER_NO_START = -909,
    XFER_EOT_FAILED = -912,
    XFER_REMOTE_CANCEL = -914,
    XFER_NO_BUFFER = -920,
    XFER_BAD_HEADER = -921,
    XFER_START_SEND_FAILED = -922,
    XFER_ACK_SEND_FAILED = -923,
    XFER_CHAR_TIMEOUT = -924,
    XFER_BUFFER_TIMEOUT = -925,
    XFER_NO_FILE = -926,
    XFER_NO_FILE_ENGINE = -927,
    XFER_CARRIER_LOST = -929,
};

// A short meaning of a result of the transfer layer, for people: the
// TransferResult and FileEngineResult codes, and through commResultText
// the link's codes (-801..-842) and 0; "unknown result" for anything else.
// Never null.
const char* transferResultText(int code);

enum TransferDirection : int {
    DIRECTION_RECEIVE = 0,
    DIRECTION_SEND = 1,
};

// One record per run. The worker running the transfer writes every field
// and calls the hooks; another thread (the progress display) may read
// blockNumber and bytesDone (atomics) and fileNameSnapshot() at any time.
// The other fields belong to the worker while a transfer runs.
class TransferStatus {
public:
    TransferStatus();
    virtual ~TransferStatus() = default;

    // Sets direction, the file name "<None>" and every field except variant,
    // checkKind and checkNames to 0. Worker thread.
    virtual void reset(int direction);
    // Called at every abort check with the current result; returns it.
    virtual int notify(int result);
    // Receives every engine message (at most 83 characters); dropped here.
    virtual void message(const char* text);
    // 0 to go on; a negative value ends the transfer with that result.
    virtual int abortQuery();
    // Spare hook; never called by the engine.
    virtual void spareHook(int value);

    // The file being transferred; any thread. Returns an owned copy, so the
    // caller never holds a pointer into text the worker may replace.
    std::string fileNameSnapshot() const;
    // Replaces the file name (copied; null gives ""). Any thread.
    void setFileName(const char* name);

    int direction = 0;                  // 1 sending, 0 receiving
    int variant = 0;                    // protocol variant 0..4
    int checkKind = 0;                  // index into checkNames
    const char* const* checkNames;      // the five check-kind names
    int filesOpened = 0;
    unsigned fileSize = 0;              // size of the file being sent; 0 while receiving
    int frameNumber = 0;                // block number byte of the current block
    std::atomic<int> blockNumber{0};    // next block to send or expect, from 1
    int blockSize = 0;                  // 128 or 1024; 0 when the sender reached the end
    int checkValue = 0;
    std::atomic<unsigned> bytesDone{0}; // file bytes sent, or received and written
    int result = 0;                     // 0, or the negative result code
    int errorCount = 0;
    int consecutiveErrors = 0;

    TransferStatus(const TransferStatus&) = delete;
    TransferStatus& operator=(const TransferStatus&) = delete;

private:
    mutable std::mutex nameLock;
    std::string fileName;
};
