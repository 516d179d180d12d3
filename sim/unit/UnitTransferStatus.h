// The status record the virtual unit runs its transfers with: the stop
// flag, the unit's own first-block wait and the cancel faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "sim/unit/StartRequestClock.h"
#include "transfer/TransferStatus.h"

// The result a transfer gets when the unit cancels it on purpose.
constexpr int kCancelledByUnit = -990;

// One record per transfer, used on the unit's thread only.
class UnitTransferStatus : public TransferStatus {
public:
    // cancelAtBlock: the block number (as the engine counts it) at which
    // decideCancel is asked, once, whether to cancel: 2 for an upload (the
    // first block has been received and written), 3 for a download (the
    // first block has been acknowledged). Without decideCancel nothing is
    // cancelled.
    UnitTransferStatus(const std::atomic<bool>& stop, int cancelAtBlock,
                       std::function<bool()> decideCancel = {});

    // Upload only: until the first block arrives, clock runs fast (so the
    // engine's header wait becomes the unit's start request interval) and
    // the unit keeps asking in CRC mode, without counting the silence as
    // errors, until giveUpAtMs of the clock's real time; then the transfer
    // ends with XFER_NO_START.
    void waitForFirstBlock(StartRequestClock& clock, std::uint32_t giveUpAtMs);

    int notify(int result) override;
    int abortQuery() override;

private:
    const std::atomic<bool>& stop;
    int cancelAtBlock;
    std::function<bool()> decideCancel;
    bool decided = false;
    bool cancelling = false;
    StartRequestClock* clock = nullptr;
    std::uint32_t giveUpAtMs = 0;
};
