// The virtual unit's service loop and its transfers.
#include "sim/unit/VirtualUnit.h"

#include <algorithm>
#include <cstdio>

#include "sim/unit/MemoryFileEngine.h"
#include "sim/unit/Sha256.h"
#include "sim/unit/UploadImage.h"
#include "comlink/CommLink.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

namespace {

// The result an upload gets when the unit cancels it on purpose.
constexpr int kCancelledByUnit = -990;
// How long the unit waits for its own output to be taken by the line.
constexpr int kWriteTimeoutMs = 10000;
// The receiver's header wait that the start request interval shortens.
constexpr int kHeaderWaitMs = XmodemTransfer::kFirstHeaderMs;

// The unit's status record: lets the unit stop a transfer (stop flag, the
// cancel fault) and puts its link clock back to real time once the first
// block of an upload has arrived.
class UnitStatus : public TransferStatus {
public:
    UnitStatus(const std::atomic<bool>& stop, StartRequestClock* clock, bool cancelAfterFirstBlock)
        : stop(stop), clock(clock), cancel(cancelAfterFirstBlock)
    {
    }
    int notify(int result) override
    {
        if (clock != nullptr && blockNumber.load() >= 2)
            clock->setFactor(1);
        return result;
    }
    int abortQuery() override
    {
        if (stop.load())
            return XFER_ABORTED;
        return cancel && blockNumber.load() >= 2 ? kCancelledByUnit : 0;
    }

private:
    const std::atomic<bool>& stop;
    StartRequestClock* clock;
    bool cancel;
};

std::string hex(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", v);
    return text;
}

}  // namespace

const char* unitEndText(UnitEnd end)
{
    switch (end) {
    case UnitEnd::Stopped:
        return "stopped";
    case UnitEnd::PowerCut:
        return "power cut";
    case UnitEnd::IdleLimit:
        return "idle limit";
    case UnitEnd::LineLost:
        return "line lost";
    }
    return "?";
}

VirtualUnit::VirtualUnit(UnitState& state, const UnitBehaviour& behaviour, Transcript& transcript)
    : state(state), behaviour(behaviour), transcript(transcript), console(state.identity)
{
}

bool VirtualUnit::writeText(CommLink& link, const std::string& text)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t done = 0;
    const std::uint32_t deadline = link.tickMs() + kWriteTimeoutMs;
    while (done < text.size()) {
        int n = link.write(bytes + done, static_cast<int>(text.size() - done));
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (link.idle() < 0 || !tickBefore(link.tickMs(), deadline))
            return false;
    }
    return true;
}

UnitEnd VirtualUnit::run(CommLink& link, StartRequestClock& clock, const std::atomic<bool>& stop)
{
    std::uint32_t lastHeard = link.tickMs();
    while (!stop.load()) {
        int ch = link.readChar(50);
        if (ch < 0) {
            if (ch != COMM_NO_CHARACTER)
                return UnitEnd::LineLost;
            if (behaviour.idleLimitMs > 0 &&
                !tickBefore(link.tickMs(), lastHeard + static_cast<std::uint32_t>(behaviour.idleLimitMs)))
                return UnitEnd::IdleLimit;
            continue;
        }
        const std::uint8_t byte = static_cast<std::uint8_t>(ch);
        for (const std::string& line : console.take(&byte, 1)) {
            transcript.record("command", {{"text", line}});
            ConsoleReply reply = console.execute(line);
            writeText(link, reply.text);
            switch (reply.action) {
            case ConsoleReply::Receive:
                receiveUpload(link, clock, stop);
                break;
            case ConsoleReply::Send:
                sendMemory(link, reply.address, reply.length, stop);
                break;
            case ConsoleReply::Restart:
                if (!restart(link, line, stop))
                    return UnitEnd::LineLost;
                break;
            case ConsoleReply::None:
                break;
            }
            if (reply.action != ConsoleReply::None)
                console.clearLine();
            if (!line.empty() && ++commands == behaviour.powerCutAfter) {
                transcript.record("fault", {{"what", "power_cut"}, {"after_command", commands}});
                return UnitEnd::PowerCut;
            }
        }
        lastHeard = link.tickMs();
    }
    return UnitEnd::Stopped;
}

UnitEnd VirtualUnit::playDead(CommLink& link, const std::atomic<bool>& stop)
{
    std::uint32_t lastHeard = link.tickMs();
    while (!stop.load()) {
        int ch = link.readChar(50);
        if (ch >= 0)
            lastHeard = link.tickMs();
        else if (ch != COMM_NO_CHARACTER)
            return UnitEnd::LineLost;
        else if (behaviour.idleLimitMs > 0 &&
                 !tickBefore(link.tickMs(), lastHeard + static_cast<std::uint32_t>(behaviour.idleLimitMs)))
            return UnitEnd::IdleLimit;
    }
    return UnitEnd::Stopped;
}

void VirtualUnit::receiveUpload(CommLink& link, StartRequestClock& clock, const std::atomic<bool>& stop)
{
    const int number = ++state.uploads;
    const bool cancel = number <= behaviour.cancelUploads;
    UnitStatus status(stop, &clock, cancel);
    MemoryFileEngine file;
    int result;
    {
        XmodemTransfer transfer(&link, &status);
        transfer.setFileEngine(&file);
        const int interval = behaviour.startRequestMs > 0 ? behaviour.startRequestMs : kHeaderWaitMs;
        clock.setFactor(std::max(1, kHeaderWaitMs / interval));
        result = transfer.receiveFile("upload");
        clock.setFactor(1);
    }
    if (cancel)
        transcript.record("fault", {{"what", "cancel_upload"}, {"upload", number}});
    const std::vector<std::uint8_t>& data = file.contents();
    nlohmann::json record = {{"direction", "upload"},   {"upload", number},
                             {"size", data.size()},      {"sha256", sha256Hex(data)},
                             {"result", result},         {"check", status.checkKind == 1 ? "checksum" : "crc"}};
    std::string detail;
    if (result == 0)
        detail = applyUpload(data, record);
    transcript.record("transfer", record);
    writeText(link, console.afterUpload(result == 0, detail));
}

std::string VirtualUnit::applyUpload(const std::vector<std::uint8_t>& file, nlohmann::json& record)
{
    std::string detail = std::to_string(file.size()) + " bytes";
    UploadPlacement placement = placeUpload(file);
    if (placement.kind == UploadPlacement::Placed) {
        state.flash.write(placement.start, file.data() + kLoadHeaderSize, placement.count);
        record["address"] = placement.start;
        record["written"] = placement.count;
        detail = "loaded " + std::to_string(placement.count) + " bytes at " + hex(placement.start);
    } else if (placement.kind == UploadPlacement::Refused) {
        record["refused"] = placement.reason;
        detail = "load header refused: " + placement.reason;
    }
    const double tagged = findVersionTag(file);
    if (tagged > 0.0) {
        const std::string before = state.identity.versionText();
        state.identity.version = consoleVersion(tagged);
        transcript.record("version", {{"from", before}, {"to", state.identity.versionText()}});
        detail += ", version " + state.identity.versionText();
    }
    return detail;
}

void VirtualUnit::sendMemory(CommLink& link, std::uint32_t address, std::uint32_t length,
                             const std::atomic<bool>& stop)
{
    std::vector<std::uint8_t> bytes;
    state.flash.read(address, length, bytes);
    const std::string digest = sha256Hex(bytes);
    UnitStatus status(stop, nullptr, false);
    MemoryFileEngine file(std::move(bytes));
    int result;
    {
        Xmodem1kTransfer transfer(&link, &status);
        transfer.setFileEngine(&file);
        result = transfer.sendFile("memory");
    }
    transcript.record("transfer", {{"direction", "download"}, {"address", address},
                                   {"size", length}, {"sha256", digest}, {"result", result}});
    writeText(link, console.afterDownload(result == 0));
}

bool VirtualUnit::restart(CommLink& link, const std::string& command, const std::atomic<bool>& stop)
{
    transcript.record("reboot", {{"command", command}, {"silent_ms", behaviour.bootMs}});
    // A restarting unit hears nothing: whatever arrives meanwhile is lost.
    const std::uint32_t until = link.tickMs() + static_cast<std::uint32_t>(std::max(0, behaviour.bootMs));
    while (tickBefore(link.tickMs(), until) && !stop.load()) {
        int ch = link.readChar(20);
        if (ch < 0 && ch != COMM_NO_CHARACTER)
            return false;
    }
    console.clearLine();
    writeText(link, console.banner());
    return true;
}
