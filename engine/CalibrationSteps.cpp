// Calibration download, conversion and upload; the custom cable database;
// the downgrade's backup images.
#include "engine/CalibrationSteps.h"

#include <filesystem>

#include "calimage/CalLayouts.h"
#include "engine/UpgradeSession.h"
#include "transfer/Xmodem1kTransfer.h"
#include "transfer/XmodemTransfer.h"

namespace {

bool is7410(int model)
{
    return model == 7410;
}

bool isDisplay(int unitKind)
{
    return unitKind == UNIT_DISPLAY;
}

// One upload after "btx\n": the pause, the file, a second pause and
// "\n\n\n" to bring the console back. The transfer's result.
int uploadAfterBtx(UpgradeSession& s, FileTransfer& transfer, const std::string& name)
{
    s.showFile(name, static_cast<int>(std::max(0L, s.fileSize(name))));
    s.console.sendCommand("btx\n");
    if (!s.console.pause(500))
        return kTransferStopped;
    const int result = s.sendFile(transfer, name);
    if (!s.console.pause(1000))
        return kTransferStopped;
    s.console.sendCommand("\n\n\n");
    return result;
}

// uploadAfterBtx until the unit takes the file, at most three times, each
// retry after the prompt. False (with the failure recorded) when it never
// went through, or when asked to stop.
bool uploadAfterBtxRetried(UpgradeSession& s, FileTransfer& transfer, const std::string& name, const char* step)
{
    int result = -1;
    for (int attempt = 0; attempt < 3 && result != 0; ++attempt) {
        if (attempt > 0 && !s.console.waitPromptNewline())
            return false;
        result = uploadAfterBtx(s, transfer, name);
        if (s.stopped())
            return false;
    }
    if (result == 0)
        return true;
    return s.fail(std::string(step) + ": the unit did not take \"" + name + "\" in three attempts (transfer result "
                  + std::to_string(result) + ").");
}

bool checkOutput(UpgradeSession& s, const std::string& name, long expected, const char* program)
{
    const long size = s.fileSize(name);
    if (size == expected)
        return true;
    return s.fail("CONVERTCAL: " + std::string(program) + " left " + (size < 0 ? std::string("no") : "a wrong-sized")
                  + " \"" + name + "\" (" + std::to_string(size < 0 ? 0 : size) + " bytes, "
                  + std::to_string(expected) + " expected). Nothing was uploaded; the next run converts again.");
}

// The size of Kcnv's output: a one-set old_velmora image.
long oldVelmoraImageSize()
{
    return static_cast<long>(factorycalHeaderLayout().byteSize() + oldVelmoraSetLayout().byteSize());
}

// The backup image of a unit without a serial number: a name of its own
// that no other unit's backup has.
std::string unnamedBackupName(UpgradeSession& s)
{
    for (int n = 1;; ++n) {
        const std::string name = "NOSERIAL-" + std::to_string(n) + ".bin";
        if (!s.fileExists(name))
            return name;
    }
}

}  // namespace

long velmoraLoadImageSize()
{
    return static_cast<long>(loadHeaderLayout().byteSize() + velmoraHeaderLayout().byteSize()
                             + velmoraSetLayout().byteSize());
}

CalibrationRegion calibrationRegion(int model, int unitKind)
{
    if (is7410(model))
        return isDisplay(unitKind)
                   ? CalibrationRegion{"xmodem 90000 20000 G\n", "output1.bin", 131072, "90000", "B0000", false}
                   : CalibrationRegion{"xmodem 50000 20000 G\n", "output1.bin", 131072, "50000", "70000", true};
    return isDisplay(unitKind)
               ? CalibrationRegion{"xmodem 70000 40000 G\n", "caltab.bin", 262144, "70000", "B0000", false}
               : CalibrationRegion{"xmodem 30000 40000 G\n", "caltab.bin", 262144, "30000", "70000", false};
}

const char* clearingImageName(int model, int unitKind)
{
    if (is7410(model))
        return isDisplay(unitKind) ? "calclearb_ne.bin" : "calclearb_fe.bin";
    return isDisplay(unitKind) ? "calclear_ne.bin" : "calclear_fe.bin";
}

std::string backupImageName(const std::string& serial)
{
    return serial + ".bin";
}

std::string secondImageName(const std::string& serial)
{
    return serial + "c.bin";
}

bool calibrationRegionOnDisk(UpgradeSession& s)
{
    const CalibrationRegion region = calibrationRegion(s.state.model, s.state.unitKind);
    return s.fileSize(region.file) == region.size;
}

int getCalibration(UpgradeSession& s)
{
    const CalibrationRegion region = calibrationRegion(s.state.model, s.state.unitKind);
    Xmodem1kTransfer transfer(&s.link, &s.status);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!s.console.pause(750) || !s.console.waitPromptNewline())
            return 0;
        s.status.setFileName(region.file);
        s.console.sendCommand(region.command);
        if (region.pauseAfterCommand && !s.console.pause(500))
            return 0;
        s.state.currentFileSize = static_cast<int>(region.size);
        // A region file left by an earlier run must not pass for this
        // download when it fails before writing anything.
        s.removeFile(region.file);
        const int result = s.receiveFile(transfer, region.file);
        if (s.stopped())
            return 0;
        // Only the region's own size is accepted: a short download of the
        // larger region could otherwise pass as the smaller one and be
        // converted into garbage tables.
        if (result == 0 && s.fileSize(region.file) == region.size)
            return 1;
    }
    s.fail("GETCAL: the calibration region (" + std::string(region.file) + ", " + std::to_string(region.size)
           + " bytes) did not arrive whole in three attempts. The unit's tables are unchanged.");
    return 0;
}

bool convertCalibration(UpgradeSession& s)
{
    const int model = s.state.model;
    const int kind = s.state.unitKind;
    const CalibrationRegion region = calibrationRegion(model, kind);
    // Outputs of an earlier run or another unit must never pass as this
    // run's: they go before the converters start, so that only what the
    // converters write now can be uploaded. (For the 7410 "output1.bin" is
    // the downloaded region itself and stays.)
    s.removeFile("output2.bin");
    if (!is7410(model)) {
        s.removeFile("output1.bin");
        if (s.runTool("Kcnv", {" "}) != ToolRun::Done || !checkOutput(s, "output1.bin", oldVelmoraImageSize(), "Kcnv"))
            return false;
    }
    const char* kindArg = isDisplay(kind) ? "NE" : "FE";
    if (s.runTool("Lcnv", {kindArg, kindArg}) != ToolRun::Done
        || !checkOutput(s, "output2.bin", velmoraLoadImageSize(), "Lcnv"))
        return false;
    const std::string serial = s.state.serialNumber();
    const std::string backup = serial.empty() ? unnamedBackupName(s) : backupImageName(serial);
    s.removeFile(backup);
    // header works in the unit's folder; the backup goes into the set,
    // where a downgrade looks for it.
    if (s.runTool("header", {"header", "+", region.file, s.fullPath(backup), region.start, region.end})
        != ToolRun::Done)
        return false;
    return checkOutput(s, backup, 32 + region.size, "header");
}

int putCalibration(UpgradeSession& s)
{
    Xmodem1kTransfer transfer(&s.link, &s.status);
    if (!uploadAfterBtxRetried(s, transfer, "output2.bin", "PUTCAL"))
        return 0;
    const char* clearing = clearingImageName(s.state.model, s.state.unitKind);
    s.showFile(clearing, static_cast<int>(std::max(0L, s.fileSize(clearing))));
    if (!s.console.waitPromptNewline())
        return 0;
    return uploadAfterBtxRetried(s, transfer, clearing, "PUTCAL") ? 1 : 0;
}

bool downgradeImagesPresent(UpgradeSession& s)
{
    const std::string serial = s.state.serialNumber();
    if (serial.empty() || !s.fileExists(backupImageName(serial)))
        return false;
    return s.state.unitKind != UNIT_DISPLAY || s.fileExists(secondImageName(serial));
}

int restoreBackup(UpgradeSession& s)
{
    XmodemTransfer transfer(&s.link, &s.status);
    std::shared_ptr<StepList> steps = s.state.steps();
    steps->setEntry(0, "DOWNGRADING");
    s.state.listReady = 1;
    s.state.listShown = 0;
    // Both images are looked for before anything is sent, so a missing
    // second image cannot leave the unit with half a downgrade.
    if (!downgradeImagesPresent(s))
        return 0;
    const std::string serial = s.state.serialNumber();
    std::vector<std::string> images{backupImageName(serial)};
    if (s.state.unitKind == UNIT_DISPLAY)
        images.push_back(secondImageName(serial));
    for (const std::string& image : images) {
        if (!uploadAfterBtxRetried(s, transfer, image, "Downgrade") || !s.console.waitPromptNewline())
            return 0;
    }
    steps->setDone(0, 1);
    if (!s.console.pause(1000))
        return 0;
    s.console.sendCommand("\n\n\n");
    return 1;
}

bool saveCustomCables(UpgradeSession& s)
{
    if (!s.console.pause(1000) || !s.console.waitPromptNewline())
        return false;
    if (s.state.unitKind != UNIT_DISPLAY)
        return true;
    const double v = s.state.unitVersion;
    const bool newFamily = is7410(s.state.model);
    const char* command = nullptr;
    const char* target = "custom_cables.in";
    bool convertOld = false;
    if (!newFamily && v > 1.221 && v < 1.312) {
        command = "xmodem 0B9EF0 960 G\n";
    } else if (!newFamily && v >= 1.2 && v <= 1.221) {
        command = "xmodem B6220 960 G\n";
    } else if (!newFamily && v < 1.2) {
        command = "xmodem 0B6218 960 G\n";
        target = "custom_cables.i";
        convertOld = true;
    } else if (newFamily && v < 2.014) {
        command = "xmodem B79A4 960 G\n";
    } else {
        return true;
    }
    // The database is 0x960 bytes; a download that failed or came short is
    // never converted and uploaded over the unit's database.
    constexpr long kCableBytes = 0x960;
    Xmodem1kTransfer transfer(&s.link, &s.status);
    bool arrived = false;
    for (int attempt = 0; attempt < 3 && !arrived; ++attempt) {
        if (attempt > 0 && (!s.console.pause(750) || !s.console.waitPromptNewline()))
            return false;
        s.removeFile(target);
        s.status.setFileName(target);
        s.console.sendCommand(command);
        s.state.currentFileSize = 2700;
        const int result = s.receiveFile(transfer, target);
        if (s.stopped())
            return false;
        arrived = result == 0 && s.fileSize(target) >= kCableBytes;
    }
    if (!arrived)
        return s.fail("CUSTOMCAB: the custom cable database did not arrive whole in three attempts; nothing was"
                      " uploaded over it.");
    s.removeFile("custom_cables.bin");
    if (convertOld) {
        if (s.runTool("header", {"header", "c", "custom_cables.i", "custom_cables.in"}) != ToolRun::Done
            || !s.console.pause(500))
            return false;
    }
    const char* start = newFamily ? "C01CC" : "B9AE4";
    const char* end = newFamily ? "C0B2C" : "BA444";
    if (s.runTool("header", {"header", "+", "custom_cables.in", "custom_cables.bin", start, end}) != ToolRun::Done)
        return false;
    const long size = s.fileSize("custom_cables.bin");
    if (size != 32 + kCableBytes)
        return s.fail("CUSTOMCAB: header left no whole \"custom_cables.bin\"; nothing was uploaded over the"
                      " cable database.");
    if (!s.console.waitPromptNewline() || !s.console.pause(500))
        return false;
    int result = -1;
    for (int attempt = 0; attempt < 3 && result != 0; ++attempt) {
        if (attempt > 0 && !s.console.waitPromptNewline())
            return false;
        s.console.sendCommand("\n\n");
        if (!s.console.pause(1000))
            return false;
        s.console.sendCommand("btx\n");
        s.status.setFileName("custom_cables.bin");
        s.state.currentFileSize = static_cast<int>(size);
        if (!s.console.pause(250))
            return false;
        result = s.sendFile(transfer, "custom_cables.bin");
        if (s.stopped())
            return false;
    }
    if (result != 0)
        return s.fail("CUSTOMCAB: the unit did not take \"custom_cables.bin\" in three attempts (transfer result "
                      + std::to_string(result) + ").");
    return true;
}
