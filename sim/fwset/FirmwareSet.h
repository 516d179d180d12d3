// A demo firmware set for the virtual unit: the control file, kernel and
// firmware images with version tags, the calibration-clearing images and
// the console tools, written into one folder.
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
};

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

// The text of "control.upd".
std::string controlFileText(const FirmwareSetOptions& options);

// Writes the whole set into dir (created when missing). Returns an empty
// string on success, else what failed.
std::string writeFirmwareSet(const std::string& dir, const FirmwareSetOptions& options);
