// The virtual unit's service loop and its transfers.
#include "sim/unit/VirtualUnit.h"

#include <algorithm>
#include <cstdio>

#include "transfer/MemoryFileEngine.h"
#include "sim/unit/Sha256.h"
#include "sim/unit/UnitLinePort.h"
#include "sim/unit/UnitTransferStatus.h"
#include "sim/unit/UploadImage.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

namespace {

// How long the unit waits for its own output to be taken by the line.
constexpr int kWriteTimeoutMs = 10000;
// The receiver's header wait that the start request interval shortens.
constexpr int kHeaderWaitMs = XmodemTransfer::kFirstHeaderMs;

bool holds(const std::string& text, const std::string& match)
{
    return text.find(match) != std::string::npos;
}

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

UnitEnd VirtualUnit::run(CommLink& link, UnitLinePort& line, StartRequestClock& clock,
                         const std::atomic<bool>& stop)
{
    std::uint32_t lastHeard = link.tickMs();
    while (!stop.load()) {
        int ch = link.readChar(50);
        if (ch < 0) {
            if (ch != COMM_NO_CHARACTER)
                return UnitEnd::LineLost;
            watchLine();
            if (behaviour.idleLimitMs > 0 &&
                !tickBefore(link.tickMs(), lastHeard + static_cast<std::uint32_t>(behaviour.idleLimitMs)))
                return UnitEnd::IdleLimit;
            continue;
        }
        const std::uint8_t byte = static_cast<std::uint8_t>(ch);
        for (const ConsoleLine& command : console.take(&byte, 1)) {
            watchLine();
            recordCommand(command);
            ConsoleReply reply = console.execute(command.text);
            writeText(link, reply.text);
            switch (reply.action) {
            case ConsoleReply::Receive:
                receiveUpload(link, line, clock, stop);
                break;
            case ConsoleReply::Send:
                sendMemory(link, line, command.text, reply.address, reply.length, stop);
                break;
            case ConsoleReply::Restart:
                if (!restart(link, command.text, stop))
                    return UnitEnd::LineLost;
                break;
            case ConsoleReply::None:
                break;
            }
            if (reply.action != ConsoleReply::None)
                console.clearLine();
            if (powerCutDue(command.text)) {
                transcript.record("fault", {{"what", "power_cut"}, {"after_command", commands},
                                            {"command", command.text}});
                return UnitEnd::PowerCut;
            }
        }
        lastHeard = link.tickMs();
    }
    return UnitEnd::Stopped;
}

void VirtualUnit::watchLine()
{
    if (lineWatch)
        lineWatch();
}

void VirtualUnit::recordCommand(const ConsoleLine& line)
{
    nlohmann::json fields = {{"text", line.text}, {"end", line.end}};
    if (line.raw != line.text + line.end)
        fields["raw"] = byteText(line.raw);
    transcript.record("command", fields);
}

bool VirtualUnit::powerCutDue(const std::string& command)
{
    if (command.empty())
        return false;
    ++commands;
    if (!holds(command, behaviour.powerCutMatch))
        return false;
    return ++powerCutCount == behaviour.powerCutAfter;
}

UnitEnd VirtualUnit::playDead(CommLink& link, const std::atomic<bool>& stop)
{
    std::uint32_t lastHeard = link.tickMs();
    while (!stop.load()) {
        int ch = link.readChar(50);
        if (ch >= 0) {
            lastHeard = link.tickMs();
            continue;
        }
        if (ch != COMM_NO_CHARACTER)
            return UnitEnd::LineLost;
        watchLine();
        if (behaviour.idleLimitMs > 0 &&
            !tickBefore(link.tickMs(), lastHeard + static_cast<std::uint32_t>(behaviour.idleLimitMs)))
            return UnitEnd::IdleLimit;
    }
    return UnitEnd::Stopped;
}

void VirtualUnit::receiveUpload(CommLink& link, UnitLinePort& line, StartRequestClock& clock,
                                const std::atomic<bool>& stop)
{
    const int number = ++state.uploads;
    MemoryFileEngine file;
    bool cancelled = false;
    UnitTransferStatus status(stop, 2, [&] { return cancelled = cancelUpload(number, file.contents()); });
    int result;
    {
        XmodemTransfer transfer(&link, &status);
        transfer.setFileEngine(&file);
        const int interval = behaviour.startRequestMs > 0 ? behaviour.startRequestMs : kHeaderWaitMs;
        clock.setFactor(std::max(1, kHeaderWaitMs / interval));
        status.waitForFirstBlock(clock, clock.baseMs() + static_cast<std::uint32_t>(std::max(0, behaviour.uploadWaitMs)));
        line.dropLineEndsUntilData();
        // The engine's waits are in the sped-up clock's milliseconds: the
        // port must sleep only their real share, or a 5 s header wait would
        // last 5 real seconds and the requests come at the engine's pace.
        line.idleOnClock(&clock);
        result = transfer.receiveFile("upload");
        line.idleOnClock(nullptr);
        clock.setFactor(1);
    }
    const int lineEnds = line.endDropping();
    if (cancelled)
        transcript.record("fault", {{"what", "cancel_upload"}, {"upload", number}});
    const std::vector<std::uint8_t>& data = file.contents();
    nlohmann::json record = {{"direction", "upload"},   {"upload", number},
                             {"size", data.size()},      {"sha256", sha256Hex(data)},
                             {"result", result},         {"check", status.checkKind == 1 ? "checksum" : "crc"},
                             {"line_ends_dropped", lineEnds}};
    std::string detail;
    if (result == 0)
        detail = applyUpload(data, record);
    transcript.record("transfer", record);
    writeText(link, console.afterUpload(result == 0, detail));
}

bool VirtualUnit::cancelUpload(int number, const std::vector<std::uint8_t>& received)
{
    if (behaviour.cancelUploads <= 0 || number < behaviour.cancelUploadsFrom)
        return false;
    if (behaviour.cancelUploadMatch.empty())
        return number < behaviour.cancelUploadsFrom + behaviour.cancelUploads;
    // Only the first block counts: 128 or 1024 bytes, whichever came.
    const std::size_t first = std::min<std::size_t>(received.size(), 1024);
    const std::string block(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(first));
    if (uploadsCancelled >= behaviour.cancelUploads || !holds(block, behaviour.cancelUploadMatch))
        return false;
    ++uploadsCancelled;
    return true;
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

void VirtualUnit::sendMemory(CommLink& link, UnitLinePort& line, const std::string& command,
                             std::uint32_t address, std::uint32_t length, const std::atomic<bool>& stop)
{
    const int number = ++downloads;
    std::vector<std::uint8_t> bytes;
    state.flash.read(address, length, bytes);
    const std::string digest = sha256Hex(bytes);
    const bool spoiled = spoilDownload(command);
    const bool cut = spoiled && behaviour.shortDownloadBytes > 0;
    if (cut) {
        bytes.resize(std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(behaviour.shortDownloadBytes)));
        transcript.record("fault", {{"what", "short_download"}, {"download", number}, {"bytes", bytes.size()}});
    }
    bool cancelled = false;
    UnitTransferStatus status(stop, 3, [&] { return cancelled = spoiled && !cut; });
    MemoryFileEngine file(std::move(bytes));
    int result;
    {
        Xmodem1kTransfer transfer(&link, &status);
        transfer.setFileEngine(&file);
        line.dropLineEndsUntilData();
        result = transfer.sendFile("memory");
    }
    const int lineEnds = line.endDropping();
    if (cancelled)
        transcript.record("fault", {{"what", "cancel_download"}, {"download", number}});
    transcript.record("transfer", {{"direction", "download"}, {"download", number},
                                   {"command", command},     {"address", address},
                                   {"size", length},         {"sha256", digest},
                                   {"result", result},       {"line_ends_dropped", lineEnds}});
    writeText(link, console.afterDownload(result == 0));
}

bool VirtualUnit::spoilDownload(const std::string& command)
{
    if (downloadsSpoiled >= behaviour.cancelDownloads || !holds(command, behaviour.cancelDownloadMatch))
        return false;
    ++downloadsSpoiled;
    return true;
}

bool VirtualUnit::restart(CommLink& link, const std::string& command, const std::atomic<bool>& stop)
{
    transcript.record("reboot", {{"command", command}, {"silent_ms", behaviour.bootMs}});
    // A restarting unit hears nothing: whatever arrives meanwhile is lost,
    // and the transcript says what it was.
    std::string discarded;
    const std::uint32_t until = link.tickMs() + static_cast<std::uint32_t>(std::max(0, behaviour.bootMs));
    while (tickBefore(link.tickMs(), until) && !stop.load()) {
        int ch = link.readChar(20);
        if (ch >= 0)
            discarded.push_back(static_cast<char>(ch));
        else if (ch != COMM_NO_CHARACTER)
            return false;
        else
            watchLine();
    }
    transcript.record("awake", {{"discarded", byteText(discarded)}, {"discarded_bytes", discarded.size()}});
    console.clearLine();
    writeText(link, console.banner());
    return true;
}
