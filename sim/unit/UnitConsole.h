// The unit's boot console as a pure object: received bytes become command
// lines, command lines become reply texts and actions for the unit to run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/unit/UnitIdentity.h"

// What the unit does after a command line.
struct ConsoleReply {
    enum Action {
        None,       // just write text
        Receive,    // "btx": receive one file by XMODEM, then text afterTransfer
        Send,       // "xmodem ADDR LEN G": send length bytes from address
        Restart,    // "boot"/"reboot": stay silent, then print the banner
    };
    std::string text;              // written at once
    Action action = None;
    std::uint32_t address = 0;     // Send
    std::uint32_t length = 0;      // Send
};

// One command line as it came off the line.
struct ConsoleLine {
    std::string text;  // the command, without its ending or dropped bytes
    std::string end;   // what ended it: "\r" or "\n"
    // Every byte taken since the previous line ended, this line's ending
    // included (also the LF that completed the previous line's CR LF, and
    // bytes the console dropped or rubbed out).
    std::string raw;
};

// Reply texts. The prompt is the kind marker followed by ">>" ("ne>>" or
// "fe>>"). No reply of a Remote Handset holds the letters "ne"; the console
// does not echo what it receives.
class UnitConsole {
public:
    // identity is read at every reply (the version changes with uploads);
    // it must outlive the console.
    explicit UnitConsole(const UnitIdentity& identity);

    // Adds received bytes; returns the command lines they complete. CR, LF
    // and CR LF each end a line (the LF of a pair ends nothing and shows
    // only in the next line's raw bytes); backspace and DEL remove the last
    // character; other control bytes are dropped; a line is cut at 200
    // characters.
    std::vector<ConsoleLine> take(const std::uint8_t* bytes, std::size_t count);
    // Forgets a partly received line (after a transfer or a restart).
    void clearLine();

    // Interprets one command line (surrounding blanks ignored).
    ConsoleReply execute(const std::string& line) const;

    // "\r\n" followed by the prompt.
    std::string prompt() const;
    // Text after a received file: a line saying what was loaded, then the prompt.
    std::string afterUpload(bool ok, const std::string& detail) const;
    // Text after a memory download.
    std::string afterDownload(bool ok) const;
    // The banner printed when the unit is ready after a restart.
    std::string banner() const;

private:
    const UnitIdentity& identity;
    std::string partial;
    std::string raw;
    bool lastWasCr = false;
};

// Parses a hexadecimal number of 1 to 8 digits (leading zeros allowed, no
// prefix). False for anything else.
bool parseHex(const std::string& text, std::uint32_t& value);
