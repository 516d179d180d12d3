// The texts unitflash-cli shows a person and its exit statuses.
#pragma once

#include <string>

#include "engine/UpgradePlan.h"

// Exit statuses of unitflash-cli.
enum CliExit : int {
    CLI_EXIT_DONE = 0,         // the upgrade finished; identify: a unit answered; check: the set is complete
    CLI_EXIT_FAILED = 1,       // no unit answered, or the upgrade failed
    CLI_EXIT_USAGE = 2,        // bad arguments, or no firmware set in DIR
    CLI_EXIT_TOO_OLD = 3,      // the unit's firmware is too old for this tool
    CLI_EXIT_DECLINED = 4,     // the confirmation was answered "no": nothing was sent
    CLI_EXIT_NEWER_UNIT = 5,   // the unit is newer than the set (refused without --allow-older-set)
    CLI_EXIT_SET_LACKS = 6,    // the set cannot upgrade this unit as asked (check: some list): missing files, no or bad list
    CLI_EXIT_UPDATE_ACROSS = 7,  // update only across the calibration layout change
    CLI_EXIT_PENDING = 8,      // another unit's carry-over is unfinished in the set
    CLI_EXIT_SET_IN_USE = 9,   // another run holds the set
    CLI_EXIT_INTERRUPTED = 130 // stopped with Ctrl-C
};

// Below this unit version the unit has to go to customer service.
constexpr double kOldestUpgradable = kMinimumUnitVersion;

// "Display Handset", "Remote Handset", or "unit" for an unknown kind.
std::string unitKindName(int unitKind);

// "Found: <kind>" and a line each for the model, serial number, unit
// version, the set's version (with withSetVersion) and the rate.
std::string identityText(const UpgradeState& state, bool withSetVersion);

// Why a unit below kOldestUpgradable is turned away, with whom to call.
std::string techSupportText();

// The closing text of a finished upgrade, both versions with three decimals.
std::string completionText(int unitKind, double fromVersion, double toVersion);

// Shown once as the upgrade begins.
std::string keepConnectedText();

// "update", "reinstall" or "downgrade" for an upgrade mode; "" for others.
std::string modeName(int mode);

// The option text (--help) that lists the exit statuses.
std::string exitStatusHelp();
