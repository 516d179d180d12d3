// Works a calibration section of the control file: kernel image, restart,
// version query, cable database, and the calibration carry-over, resumable
// through the resume log.
#pragma once

#include <string>

struct UpgradeSession;

// Parses the section named sectionName of text into the state's step list
// and works it. 1 when worked to its end (or nothing had to be done; the
// resume log is then emptied); 0 when the kernel image is missing, the log
// cannot be written (errorFlag raised in both cases, nothing sent for the
// latter), a calibration download or upload gave up (the log keeps what was
// finished, so the next run resumes there), or a stop was requested.
int runCalibrationSection(UpgradeSession& session, const std::string& text, const std::string& sectionName);

class ResumeLog;

// How many leading slots of a calibration list the unit's resume log
// records as finished, so a resumed run skips them: the kernel, the
// restart, and the carry-over steps up to the last one recorded. A
// download recorded without its upload counts only when regionOnDisk (the
// region file has its full size): otherwise it is downloaded again.
int resumedSteps(const ResumeLog& log, bool regionOnDisk);

// True when an upgrade from versionBefore to newVersion carries the custom
// cable database over (a Display Handset's; others only wait for the
// prompt). The runner decides on the version the new kernel reports.
bool cableStepDue(int model, double versionBefore, double newVersion);

// True when the upgrade carries the calibration tables across their layout
// change: not in update-only mode, and from below the model's threshold to
// a control file at or above it.
bool calibrationDue(int mode, int model, double versionBefore, double controlVersion);
