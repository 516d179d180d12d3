// The virtual unit's transfer status record.
#include "sim/unit/UnitTransferStatus.h"

#include "comlink/Clock.h"

UnitTransferStatus::UnitTransferStatus(const std::atomic<bool>& stop, int cancelAtBlock,
                                       std::function<bool()> decideCancel)
    : stop(stop), cancelAtBlock(cancelAtBlock), decideCancel(std::move(decideCancel))
{
}

void UnitTransferStatus::waitForFirstBlock(StartRequestClock& c, std::uint32_t giveUp)
{
    clock = &c;
    giveUpAtMs = giveUp;
}

int UnitTransferStatus::notify(int result)
{
    // The first block is in: from here on the link keeps real time.
    if (clock != nullptr && blockNumber.load() >= 2) {
        clock->setFactor(1);
        clock = nullptr;
    }
    return result;
}

int UnitTransferStatus::abortQuery()
{
    if (stop.load())
        return XFER_ABORTED;
    if (clock != nullptr && blockNumber.load() < 2) {
        // The unit's loader asks for the first block for as long as its own
        // window lasts: a silent host is no error, so the engine neither
        // gives up after its ten tries nor falls back to the checksum.
        consecutiveErrors = 0;
        if (!tickBefore(clock->baseMs(), giveUpAtMs))
            return XFER_NO_START;
    }
    if (!decided && decideCancel && blockNumber.load() >= cancelAtBlock) {
        decided = true;
        cancelling = decideCancel();
    }
    return cancelling ? kCancelledByUnit : 0;
}
