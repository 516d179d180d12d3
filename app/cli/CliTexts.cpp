// The texts and exit statuses of unitflash-cli.
#include "app/cli/CliTexts.h"

#include <cstdio>

#include "engine/UpgradePlan.h"
#include "engine/UpgradeState.h"
#include "history/HistoryRecording.h"

std::string unitKindName(int unitKind)
{
    if (unitKind == UNIT_DISPLAY)
        return "Display Handset";
    if (unitKind == UNIT_REMOTE)
        return "Remote Handset";
    return "unit";
}

std::string identityText(const UpgradeState& s, bool withSetVersion)
{
    char text[512];
    std::snprintf(text, sizeof text, "Found: %s\n  model           %d\n  serial number   %s\n  unit version    %5.3f\n",
                  unitKindName(s.unitKind).c_str(), s.model.load(), s.serialNumber().c_str(), s.unitVersion.load());
    std::string lines = text;
    if (withSetVersion) {
        std::snprintf(text, sizeof text, "  firmware set    %5.3f\n", s.controlVersion.load());
        lines += text;
    }
    std::snprintf(text, sizeof text, "  rate            %d baud", s.baudRate.load());
    return lines + text;
}

std::string techSupportText()
{
    return "Your Unit has a version prior to 1.090\n"
           "Please send it to customer service to be upgraded.\n"
           "You can contact your local technical assistance representative\n"
           "at one of following phone numbers:\n\n"
           "North America\t\t+1 555 0100\n"
           "Latin America\t\t+1 555 0142\n"
           "Europe\t\t\t+44 20 7946 0123\n"
           "Asia Pacific\t\t+61 2 5550 0199\n";
}

std::string completionText(int unitKind, double fromVersion, double toVersion)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "Your %s is finished.\nIt has been Upgraded from Version %5.3f to Version %5.3f\n\n"
                  "Please run a Field Calibration to make unit accurate with new firmware.",
                  unitKind == UNIT_DISPLAY ? "Display Handset" : "Remote Handset", fromVersion, toVersion);
    return text;
}

std::string keepConnectedText()
{
    return "Do not disconnect the unit or switch it off until the upgrade has finished.";
}

std::string modeName(int mode)
{
    return historyModeName(mode);
}

std::string exitStatusHelp()
{
    return "Exit status:\n"
           "  0    the upgrade finished (identify: a unit answered; check: every list of the set is complete)\n"
           "  1    no unit answered or it could not be recognised, or the upgrade failed\n"
           "  2    bad arguments, or DIR holds no firmware set (control.upd)\n"
           "  3    the unit's firmware is older than 1.090 (send it to customer service)\n"
           "  4    the confirmation was answered no: nothing was sent to the unit\n"
           "  5    the unit is newer than the firmware set (--allow-older-set to go back anyway)\n"
           "  6    the firmware set cannot upgrade this unit as asked: files missing, no list for it,\n"
           "       a list that cannot be read, or a downgrade of a unit without a serial number\n"
           "       (check: a list lacks files or programs, cannot be read whole, or there is no list)\n"
           "  7    update only would cross the calibration layout change (use reinstall)\n"
           "  8    a unit without a serial number, and the set holds an unfinished carry-over of such a\n"
           "       unit (--resume-unnamed if it is this one, --discard-pending if not)\n"
           "  9    another run is upgrading this unit (its working folder in the set is locked)\n"
           "       (5 to 9: nothing was sent to the unit)\n"
           "  130  stopped with Ctrl-C (a later run resumes from the log when one was written)\n"
           "With --each: 0 when every unit finished (at least one), otherwise the status of the last unit\n"
           "that failed, or of the problem that ended the run before a unit answered (130: Ctrl-C, no unit).\n"
           "With --json the last line of standard output is the status: {\"event\":\"finished\"} or \"failed\"\n"
           "(with --each: {\"event\":\"summary\"}).\n";
}

// The engine's refusals end with these statuses (refusalStatus).
static_assert(refusalStatus(Refusal::MissingFiles) == CLI_EXIT_SET_LACKS);
static_assert(refusalStatus(Refusal::UpdateAcrossLayout) == CLI_EXIT_UPDATE_ACROSS);
static_assert(refusalStatus(Refusal::PendingOtherUnit) == CLI_EXIT_PENDING);
static_assert(refusalStatus(Refusal::SetInUse) == CLI_EXIT_SET_IN_USE);
