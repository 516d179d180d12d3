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
