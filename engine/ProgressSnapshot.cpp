// Copies the upgrade's progress out of the shared record for a display.
#include "engine/ProgressSnapshot.h"

#include <memory>

#include "transfer/TransferStatus.h"

ProgressSnapshot takeProgressSnapshot(const UpgradeState& state, const std::string& staleStatus)
{
    ProgressSnapshot snap;
    snap.steps = state.steps()->snapshot();
    if (std::shared_ptr<TransferStatus> status = state.transferStatus()) {
        snap.fileName = status->fileNameSnapshot();
        snap.block = status->blockNumber.load();
        snap.bytes = status->bytesDone.load();
    }
    snap.fileSize = state.currentFileSize.load();
    snap.overallPercent = state.overallPercent.load();
    snap.secondsLeft = state.secondsLeft.load();
    const std::string status = state.statusText();
    if (status != staleStatus)
        snap.notice = status;
    return snap;
}

std::string timeLeftText(int secondsLeft)
{
    if (secondsLeft < 0)
        return "";
    if (secondsLeft < 60)
        return "less than a minute left";
    return "about " + std::to_string((secondsLeft + 30) / 60) + " min left";
}
