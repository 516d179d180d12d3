// Who the virtual unit is: kind, model, serial number, firmware version and
// the one baud rate at which its console answers.
#pragma once

#include <string>

enum class UnitKind { Display, Remote };

struct UnitIdentity {
    UnitKind kind = UnitKind::Display;
    int model = 7355;            // 7300, 7350, 7355 or 7410
    bool jModel = false;         // reports "Model=J7355" instead of "Model=7355"
    std::string serial = "A01234567";  // 9 characters, upper-case letters and digits
    double version = 1.221;      // reported with three decimals
    int baud = 38400;            // 38400 or 57600
    bool plainVersion = false;   // "idn? k" answers "(1.312)" instead of "(K 1.312)"
    // Faults of a unit that cannot tell who it is (not kept in a saved state):
    std::string promptMarker;    // when set, the prompt shows this instead of "ne"/"fe"
    bool noSerial = false;       // "getuid" answers without "SN="

    // The kind marker of the console: "ne" or "fe".
    const char* kindMarker() const { return kind == UnitKind::Display ? "ne" : "fe"; }
    // The marker the prompt shows: promptMarker when set, else kindMarker().
    std::string promptText() const { return promptMarker.empty() ? kindMarker() : promptMarker; }
    // "Display Handset" or "Remote Handset".
    const char* kindName() const;
    // The version as the console prints it: "%5.3f".
    std::string versionText() const;
    // Empty when the identity is usable; otherwise what is wrong with it.
    std::string problem() const;
};

// "ne"/"fe" (also "NE"/"FE") to a kind; false for any other text.
bool parseUnitKind(const std::string& text, UnitKind& kind);

// The leading-number rule the console and the version tag share: reads a
// decimal number from the start of text, stopping at the first character
// that cannot continue it. Returns 0 when no number starts there.
double leadingNumber(const std::string& text);

// The default firmware version of a new unit of a model: one generation
// behind the demo firmware set, so that an upgrade carries the calibration
// and the custom cable database over.
double defaultUnitVersion(int model);

// v as the console shows it and a host reads it back: three decimals. The
// unit keeps its version in this form so that its memory map and its
// replies always agree.
double consoleVersion(double v);
