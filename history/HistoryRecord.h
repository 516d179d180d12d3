// One upgrade as the history keeps it, and the UTC time text it uses.
#pragma once

#include <chrono>
#include <string>

// One run of a front end on one identified unit. Times are UTC, ISO 8601
// ("2026-12-10T09:12:03Z"), so that they sort as text.
struct HistoryRecord {
    std::string started;
    std::string ended;
    std::string program;        // "cli" or "wizard"
    std::string port;           // as the user named it ("Comm 1", "/dev/ttyUSB0")
    std::string device;         // the device behind it
    std::string kind;           // "Display Handset" or "Remote Handset"
    int model = 0;
    std::string serial;         // "" when the unit reports none
    double versionBefore = 0;
    double versionAfter = 0;    // 0 when the upgrade did not reach its end
    std::string mode;           // "update", "reinstall" or "downgrade"
    int status = 0;             // unitflash-cli's exit status for this result
    std::string cause;          // why it failed or was refused; "" when done
    double seconds = 0;         // from start to end
    std::string trace;          // the trace file; "" when none

    bool operator==(const HistoryRecord&) const = default;
};

// The time as "YYYY-MM-DDTHH:MM:SSZ" (UTC, whole seconds).
std::string utcText(std::chrono::system_clock::time_point time);
