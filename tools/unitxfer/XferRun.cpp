// One unitxfer run over the serial link and the transfer engine.
#include "tools/unitxfer/XferRun.h"

#include <memory>

#include "comlink/CommLink.h"
#include "comlink/PortFactory.h"
#include "comlink/PortSettings.h"
#include "transfer/Xmodem1kTransfer.h"
#include "transfer/XmodemTransfer.h"

namespace {

int transferOnce(const XferRequest& request, CommLink& link, TransferStatus& status)
{
    std::unique_ptr<XmodemTransfer> transfer;
    if (request.send && request.oneK)
        transfer = std::make_unique<Xmodem1kTransfer>(&link, &status);
    else
        transfer = std::make_unique<XmodemTransfer>(&link, &status);
    return request.send ? transfer->sendFile(request.file.c_str())
                        : transfer->receiveFile(request.file.c_str());
}

} // namespace

int runXfer(const XferRequest& request, const StatusMaker& makeStatus, std::string& stage)
{
    stage = "opening " + request.port;
    std::unique_ptr<CommPort> port = openCommPort(request.port, kXferQueueSize, kXferQueueSize);
    if (port->lastError != 0)
        return port->lastError;
    int result = 0;
    {
        CommLink link(port.get());
        PortSettings settings(&link);
        stage = "setting " + std::to_string(request.baud) + " baud";
        result = settings.setBaudRate(request.baud);
        if (result == 0) {
            stage = (request.send ? "sending " : "receiving ") + request.file;
            std::unique_ptr<TransferStatus> status = makeStatus(link.linkClock());
            result = transferOnce(request, link, *status);
        }
        settings.restore();
    }
    return result;
}
