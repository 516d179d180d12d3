// The time estimate of an upgrade's parts, from its plan.
#include "engine/WorkEstimate.h"

#include <algorithm>
#include <string>

#include "engine/CalibrationRunner.h"
#include "engine/CalibrationSteps.h"
#include "engine/ControlFile.h"
#include "engine/ResumeLog.h"
#include "engine/UpgradePlan.h"
#include "engine/UpgradeSession.h"

namespace {

// XMODEM framing around each block: SOH or STX, the block number and its
// complement, a 16-bit CRC, and the receiver's ACK.
constexpr int kBlockOverhead = 3 + 2 + 1;
// One of the set's programs (a converter or the header tool) on a small file.
constexpr double kProgramSeconds = 1.0;

bool holds(const std::string& text, const char* what)
{
    return text.find(what) != std::string::npos;
}

bool isCalibrationKeyword(const std::string& entry)
{
    return entry == "GETCAL" || entry == "CONVERTCAL" || entry == "PUTCAL";
}

// The time of the console operations, as ConsoleSession spends it.
struct Console {
    double pauseScale;

    // A fixed pause of ms, scaled.
    double pause(int ms) const { return ms * pauseScale / 1000.0; }
    // A read waits its whole time for a reply shorter than its limit.
    static double read() { return kReplyTimeoutMs / 1000.0; }
    // A prompt that answers the first time.
    double promptIdn(int ms) const { return pause(ms) + read(); }
    static double promptNewline() { return read(); }
};

// The parts of one estimate, built in the order the run works them.
struct Builder {
    const UpgradeSession& s;
    Console c;
    int baud;
    WorkEstimate estimate;

    void add(WorkPart part, double seconds, int slot = 0) { estimate.items.push_back({part, slot, seconds}); }
    double line(const std::string& file, int blockSize) const
    {
        return lineSeconds(std::max(0L, s.fileSize(file)), blockSize, baud);
    }
    double line(long bytes, int blockSize) const { return lineSeconds(bytes, blockSize, baud); }
    // "btx", its pause, the file, a second pause (uploadAfterBtx).
    double uploadAfterBtx(double lineTime) const { return c.pause(500) + lineTime + c.pause(1000); }
};

void addKernel(Builder& b, const std::string& kernel)
{
    const Console& c = b.c;
    // Prompt, "btx" and its pause, the image, 3 s, then the prompt again.
    b.add(WorkPart::Kernel, Console::read() + c.promptIdn(2000) + c.pause(1000) + b.line(kernel, 128)
                                + c.pause(3000) + Console::read() + c.promptIdn(2000));
}

void addCables(Builder& b, int model, double before)
{
    const Console& c = b.c;
    double seconds = c.pause(1000) + Console::promptNewline();
    if (b.s.state.unitKind == UNIT_DISPLAY) {
        constexpr long kCableBytes = 0x960;
        const bool oldLayout = model != 7410 && before < 1.2;
        seconds += b.line(kCableBytes, 1024) + (oldLayout ? kProgramSeconds + c.pause(500) : 0) + kProgramSeconds
                   + Console::promptNewline() + c.pause(500) + c.pause(1000) + c.pause(250)
                   + b.line(32 + kCableBytes, 1024);
    }
    b.add(WorkPart::Cables, seconds);
}

void addCarryOver(Builder& b, const StepListView& list, int from)
{
    const UpgradeState& state = b.s.state;
    const Console& c = b.c;
    const CalibrationRegion region = calibrationRegion(state.model, state.unitKind);
    for (int i = from; i < list.count(); ++i) {
        const std::string& entry = list.slots[static_cast<std::size_t>(i)].name;
        if (entry == "GETCAL") {
            b.add(WorkPart::CalibrationStep,
                  c.pause(750) + Console::promptNewline() + (region.pauseAfterCommand ? c.pause(500) : 0)
                      + b.line(region.size, 1024),
                  i);
        } else if (entry == "CONVERTCAL") {
            b.add(WorkPart::CalibrationStep, (state.model == 7410 ? 2 : 3) * kProgramSeconds, i);
        } else if (entry == "PUTCAL") {
            b.add(WorkPart::CalibrationStep,
                  b.uploadAfterBtx(b.line(velmoraLoadImageSize(), 1024)) + Console::promptNewline()
                      + b.uploadAfterBtx(b.line(clearingImageName(state.model, state.unitKind), 1024)),
                  i);
        }
    }
}

// The calibration section as runCalibrationSection works it.
void addCalibration(Builder& b, const std::string& text, const std::string& name, double before)
{
    const UpgradeSession& s = b.s;
    const UpgradeState& state = s.state;
    const Console& c = b.c;
    StepList parsed;
    int parseError = 0;
    parseSection(text, findSection(text, name), parsed, parseError);
    const StepListView list = parsed.snapshot();

    int k = 0;
    ResumeLog log(s.env.path(kResumeLogName));
    if (log.load() && logIsThisUnits(log, state.serialNumber(), s.env)) {
        const CalibrationRegion region = calibrationRegion(state.model, state.unitKind);
        k = resumedSteps(log, s.fileSize(region.file) == region.size);
    }
    const std::string first = list.slots[0].name;
    if (k == 0 && list.slots[0].present && !isCalibrationKeyword(first)) {
        addKernel(b, first);
        k = 1;
    }
    // The new kernel settles; REBOOT starts it; its version is asked for.
    double restart = c.pause(2000) + Console::read() + c.promptIdn(2000) + c.promptIdn(2000);
    if (k < list.count() && list.slots[static_cast<std::size_t>(k)].name == "REBOOT") {
        restart += c.pause(20000) + Console::read() + c.promptIdn(2000);
        ++k;
    }
    b.add(WorkPart::Restart, restart);

    const double newVersion = state.controlVersion;
    if (cableStepDue(state.model, before, newVersion))
        addCables(b, state.model, before);
    if (calibrationDue(state.mode, state.model, before, newVersion))
        addCarryOver(b, list, k);
}

void addDowngrade(Builder& b)
{
    const UpgradeState& state = b.s.state;
    const Console& c = b.c;
    const std::string serial = state.serialNumber();
    std::vector<std::string> images{backupImageName(serial)};
    if (state.unitKind == UNIT_DISPLAY)
        images.push_back(secondImageName(serial));
    double seconds = c.pause(1000);
    // The downgrade sends its images in 128-byte blocks.
    for (const std::string& image : images)
        seconds += b.uploadAfterBtx(b.line(image, 128)) + Console::promptNewline();
    b.add(WorkPart::Downgrade, seconds);
}

void addMainList(Builder& b, const std::string& text, const std::string& name, bool calibrationDone)
{
    const Console& c = b.c;
    StepList parsed;
    int parseError = 0;
    parseSection(text, findSection(text, name), parsed, parseError);
    const StepListView list = parsed.snapshot();
    for (int i = 0; i < list.count(); ++i) {
        const std::string& entry = list.slots[static_cast<std::size_t>(i)].name;
        // Every entry begins with a read and a prompt.
        double seconds = Console::read() + c.promptIdn(2000);
        if (holds(entry, "REBOOT")) {
            seconds += Console::read() + c.pause(10000) + Console::read() + c.promptIdn(2000);
        } else if (holds(entry, "NOTHING") || (holds(entry, "KERNEL") && calibrationDone)) {
        } else {
            // "btx" and its pause, the file, then prompts and pauses until
            // the unit has taken it in.
            seconds += Console::read() + c.pause(1000) + b.line(entry, 128) + c.pause(1000) + Console::read()
                       + c.promptIdn(2000) + Console::read() + c.promptIdn(2000) + c.pause(1000);
        }
        b.add(WorkPart::MainStep, seconds, i);
    }
}

}  // namespace

double WorkEstimate::totalSeconds() const
{
    double total = 0;
    for (const WorkItem& item : items)
        total += item.seconds;
    return total;
}

double blockSeconds(int blockSize, int baud)
{
    return baud > 0 ? (blockSize + kBlockOverhead) * 10.0 / baud : 0;
}

double lineSeconds(long bytes, int blockSize, int baud)
{
    double seconds = baud > 0 ? 2 * 10.0 / baud : 0;  // EOT and its ACK
    for (long left = bytes; left > 0;) {
        // 1K blocks while more than 896 bytes remain, as the sender sends.
        const int size = blockSize == 1024 && left > 896 ? 1024 : 128;
        seconds += blockSeconds(size, baud);
        left -= size;
    }
    return seconds;
}

WorkEstimate estimateUpgrade(const UpgradeSession& s, const std::string& text)
{
    const UpgradeState& state = s.state;
    Builder b{s, Console{s.env.pauseScale}, state.baudRate, {}};
    const std::string mainName = mainSectionName(sectionKey(state.model, state.unitKind), state.mode);
    const std::string calName = calibrationSectionName(mainName);
    const bool calibration = findSection(text, calName) > 0;
    if (calibration)
        addCalibration(b, text, calName, versionBeforeUpgrade(state, s.env));
    if (state.mode == MODE_DOWNGRADE)
        addDowngrade(b);
    addMainList(b, text, mainName, calibration);
    b.add(WorkPart::FinalVersion, Console::read());
    return b.estimate;
}
