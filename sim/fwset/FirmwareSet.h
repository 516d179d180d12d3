// A demo firmware set for the virtual unit: the control file, kernel and
// firmware images with version tags, the calibration-clearing images, the
// console tools, the search clip and, for one unit, its backup images,
// written into one folder.
#pragma once

#include <string>
#include <vector>

struct FirmwareSetOptions {
    std::string version = "1.312";          // models below 7410
    std::string version7410 = "2.122";      // model 7410
    std::string previous = "1.221";          // downgrade target, models below 7410
    std::string previous7410 = "2.013";      // downgrade target, model 7410
    // Programs copied into the set under their own file names; empty
    // entries are skipped.
    std::vector<std::string> tools;

    // The unit whose downgrade the set carries: "<serial>.bin", its
    // calibration region as it left the factory with the region's load
    // addresses (what the carry-over saves before it converts), and
    // "<serial>c.bin", the second image a Display Handset's downgrade
    // sends: its cable database where the previous firmware keeps it.
    // Empty: neither file.
    std::string serial;
    bool serialDisplay = true;          // the unit is a Display Handset
    int serialModel = 7355;
    // Main lists get a "NOTHING" entry after "REBOOT" and this many more
    // small images after the firmware (0..5).
    int extraFiles = 0;
    bool calibrationSections = true;    // write the CAL... sections
    // Blanks before each version on the "Rev" line (0..4). The version is
    // still read from 6 characters, so 2 or more cut its last digits.
    int revBlanks = 0;
};

// Sizes of the images the main lists name. Small, so that a whole upgrade
// at the unit's real 38400 baud (about 3.8 KB/s) takes a few minutes, most
// of them the fixed 256 KiB calibration download.
constexpr unsigned kKernelImageSize = 12 * 1024;
constexpr unsigned kFirmwareImageSize = 40 * 1024;
constexpr unsigned kExtraImageSize = 4 * 1024;
constexpr unsigned kExtraAddress = 0xE0000;  // extra image i at kExtraAddress + i * 0x2000
constexpr int kMaxExtraFiles = 5;

// Flash addresses of the code images (outside every calibration region and
// cable database).
constexpr unsigned kKernelAddress = 0x00000;
constexpr unsigned kFirmwareAddress = 0xD0000;
// The span a calibration-clearing image erases, right after the converted
// tables' declared end (load address + 13156).
constexpr unsigned kClearSpan = 0x1000;

// The model keys of the control file's sections: 7300 and 7350 use 7355's.
extern const char* const kSectionKeys[4];  // "7355NE", "7355FE", "7410NE", "7410FE"

// A version text usable in the control file: d.ddd.
bool validVersion(const std::string& text);

// The kernel and firmware file names of a key ("7355NE") and version. The
// kernel's name holds "KERNEL", as the upgrade expects; neither holds an
// upper-case section key, so no name is found where a section is sought.
std::string kernelFileName(const std::string& key, const std::string& version);
std::string firmwareFileName(const std::string& key, const std::string& version);
// The i-th (from 1) extra image of a main list.
std::string extraFileName(int i, const std::string& key, const std::string& version);

// The text of "control.upd".
std::string controlFileText(const FirmwareSetOptions& options);

// Checks the options; an empty string when they are usable.
std::string optionsProblem(const FirmwareSetOptions& options);

// Writes the whole set into dir (created when missing). Returns an empty
// string on success, else what failed.
std::string writeFirmwareSet(const std::string& dir, const FirmwareSetOptions& options);
