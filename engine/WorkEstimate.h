// How long each part of an upgrade should take, estimated from its plan
// before the first byte is sent: the line time of every file at the unit's
// rate and the fixed console pauses and reads around it.
#pragma once

#include <string>
#include <vector>

struct UpgradeSession;

// A part of an upgrade that takes time, in the order a run works them.
enum class WorkPart : int {
    Kernel,           // the calibration section's kernel image
    Restart,          // the new kernel's start: settling, REBOOT, its version
    Cables,           // the custom cable database carried to its new address
    CalibrationStep,  // GETCAL, CONVERTCAL or PUTCAL, by its slot
    Downgrade,        // the backup images put back
    MainStep,         // an entry of the main list, by its slot
    FinalVersion,     // the version read after the last file
};

// One part of the plan and its estimate.
struct WorkItem {
    WorkPart part;
    int slot = 0;        // the list slot of a CalibrationStep or MainStep; 0 otherwise
    double seconds = 0;  // the whole part: line time, pauses, reads, programs
};

// The parts a run will work, in order. Parts a resumed run skips are not
// in it; neither is what follows the final version (the unit's restart).
struct WorkEstimate {
    std::vector<WorkItem> items;
    double totalSeconds() const;
};

// Seconds the line needs for one XMODEM block of blockSize bytes at baud,
// 10 bits a byte, with its header, its check and the ACK that answers it.
double blockSeconds(int blockSize, int baud);

// Seconds the line needs for a file of `bytes` in XMODEM blocks of
// blockSize (128; or 1024, which sends its tail in 128-byte blocks) at
// baud, 10 bits a byte: each block with its header, check and the ACK
// that answers it, and the EOT at the end.
double lineSeconds(long bytes, int blockSize, int baud);

// The estimate of the upgrade the session is about to run from the control
// text, once its plan has been checked: the calibration section (without
// the steps its resume log says are done), the downgrade phase in that
// mode, and the main list. Reads file sizes and the resume log; sends
// nothing. Pauses are scaled by env.pauseScale as the console scales them.
WorkEstimate estimateUpgrade(const UpgradeSession& session, const std::string& controlText);
