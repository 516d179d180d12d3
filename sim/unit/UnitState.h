// The unit's state on disk: its flash image and its identity, so a test can
// read what the host left in the unit and a new unit can go on from there.
#pragma once

#include <string>

#include "sim/unit/FlashMemory.h"
#include "sim/unit/UnitIdentity.h"

// A state directory holds two files:
//   "flash.bin"      the whole 1 MiB flash image
//   "identity.json"  {"kind": "ne"|"fe", "model": 7355, "j_model": false,
//                     "serial": "A01234567", "version": "1.312",
//                     "baud": 38400, "plain_version": false,
//                     "uploads": 3}
// "uploads" counts the files the unit has received, so that a fault that
// cancels the first uploads is not repeated after a restart. "version" is a
// text with three decimals, as the console shows it.
struct UnitState {
    UnitIdentity identity;
    FlashMemory flash;
    int uploads = 0;
};

// True when dir holds both files.
bool stateExists(const std::string& dir);

// Reads a state; false (state untouched) with a reason in error when a file
// is missing, unreadable, malformed, of the wrong size, or the identity is
// not usable.
bool loadState(const std::string& dir, UnitState& state, std::string& error);

// Writes both files, each first to a temporary name and then renamed over the
// old one, so that a crash while dumping never leaves half a state. Creates
// dir when missing. False with a reason in error.
bool saveState(const std::string& dir, const UnitState& state, std::string& error);
