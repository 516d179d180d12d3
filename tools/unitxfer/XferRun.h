// One unitxfer run: open the port, set the speed, move one file, restore.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "comlink/Clock.h"
#include "transfer/TransferStatus.h"

// Makes the transfer status once the link exists; it may time its work on
// the link's clock.
using StatusMaker = std::function<std::unique_ptr<TransferStatus>(Clock& linkClock)>;

struct XferRequest {
    bool send = true;        // false: receive
    bool oneK = false;       // send with 1024-byte blocks
    int baud = 57600;
    std::string port;        // "Comm N" or a device path
    std::string file;
};

// Builds, in this order, the port, its CommLink, a PortSettings at the
// requested rate, the transfer status (makeStatus) and the transfer; runs
// the transfer; then destroys them in reverse order, giving the port its
// settings back.
// Returns 0 on success or the negative code of the first failure (port,
// speed or transfer); `stage` then says which ("opening PORT", "setting N
// baud", "sending FILE", "receiving FILE"). Calling thread only.
int runXfer(const XferRequest& request, const StatusMaker& makeStatus, std::string& stage);

// Serial driver queue sizes the tool asks for (as the upgrade worker does).
constexpr int kXferQueueSize = 16384;
