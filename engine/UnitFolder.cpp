// Each unit's working folder inside the firmware set.
#include "engine/UnitFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/ResumeLog.h"
#include "engine/WorkFilesLock.h"

namespace fs = std::filesystem;

namespace {

// The working folders of units without a serial number: one per run.
constexpr const char* kUnnamedPrefix = "NOSERIAL-run-";

// The files an older run kept in the set folder that a carry-over resumes
// from: its log and the regions it downloaded.
constexpr const char* kCarriedFiles[] = {kResumeLogName, "caltab.bin", "output1.bin"};

std::string setFolder(const EngineEnv& env)
{
    return env.workDir.empty() ? std::string(".") : env.workDir;
}

fs::path unitsFolder(const EngineEnv& env)
{
    return fs::path(setFolder(env)) / kUnitFoldersName;
}

// The log in folder; empty when there is none or it cannot be read.
ResumeLog logIn(const std::string& folder)
{
    ResumeLog log((fs::path(folder) / kResumeLogName).string());
    if (!log.load())
        return ResumeLog(std::string());
    return log;
}

// The run number of an unnamed folder's name; 0 for any other name.
int unnamedRun(const std::string& name)
{
    const std::string prefix = kUnnamedPrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoi(digits);
}

// The newest folder holding an unfinished carry-over of a unit without a
// serial number: the unnamed folder with the highest run number, or the
// set folder where an older run left one. Empty when there is none.
std::string newestUnnamedCarryOver(const EngineEnv& env)
{
    std::string newest;
    int newestRun = 0;
    std::error_code ec;
    for (fs::directory_iterator it(unitsFolder(env), ec), end; !ec && it != end; it.increment(ec)) {
        const int run = unnamedRun(it->path().filename().string());
        if (run > newestRun && logIn(it->path().string()).length() != 0) {
            newestRun = run;
            newest = it->path().string();
        }
    }
    if (!newest.empty())
        return newest;
    const ResumeLog old = logIn(setFolder(env));
    return old.length() != 0 && old.serial().empty() ? setFolder(env) : std::string();
}

// Makes a new unnamed folder: the first free run number, taken by creating
// the folder, so two runs starting at once never share one.
std::string newUnnamedFolder(const EngineEnv& env, std::error_code& ec)
{
    fs::create_directories(unitsFolder(env), ec);
    for (int run = 1; !ec; ++run) {
        const fs::path folder = unitsFolder(env) / (kUnnamedPrefix + std::to_string(run));
        if (fs::create_directory(folder, ec))
            return folder.string();
    }
    return {};
}

// Moves the carry-over an older run left in the set folder into the unit's
// folder. Nothing is moved when the unit's folder has a log of its own.
bool moveOldCarryOver(const EngineEnv& env, const std::string& to, std::string& error)
{
    if (logIn(to).length() != 0)
        return true;
    for (const char* name : kCarriedFiles) {
        const fs::path from = fs::path(setFolder(env)) / name;
        std::error_code ec;
        if (!fs::exists(from, ec))
            continue;
        fs::rename(from, fs::path(to) / name, ec);
        if (ec) {
            error = "\"" + from.string() + "\" cannot be moved into \"" + to + "\" (" + ec.message() + ")";
            return false;
        }
    }
    return true;
}

PlanCheck refusal(Refusal why, const std::string& text)
{
    PlanCheck check;
    check.refusal = why;
    check.text = text;
    return check;
}

}  // namespace

bool isWorkingFile(const std::string& name)
{
    static const char* const kNames[] = {kResumeLogName,  "caltab.bin",       "output1.bin",       "output2.bin",
                                         "custom_cables.i", "custom_cables.in", "custom_cables.bin", WorkFilesLock::kFileName};
    return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* n) { return name == n; });
}

std::string namedUnitFolder(const EngineEnv& env, const std::string& serial)
{
    return (unitsFolder(env) / serial).string();
}

UnitFolderLook lookUpUnitFolder(const EngineEnv& env, const std::string& serial)
{
    UnitFolderLook look;
    if (!env.unitDir.empty()) {
        look.folder = env.unitDir;
        return look;
    }
    if (!serial.empty()) {
        look.folder = namedUnitFolder(env, serial);
        const ResumeLog old = logIn(setFolder(env));
        if (logIn(look.folder).length() == 0 && old.length() != 0 && old.sameUnit(serial))
            look.folder = setFolder(env);
        return look;
    }
    const std::string pending = newestUnnamedCarryOver(env);
    if (pending.empty() || env.discardPending)
        return look;
    if (env.resumeUnnamed)
        look.folder = pending;
    else
        look.pendingFolder = pending;
    return look;
}

PlanCheck claimUnitFolder(WorkFilesLock& lock, EngineEnv& env, const std::string& serial)
{
    const UnitFolderLook look = lookUpUnitFolder(env, serial);
    if (!look.pendingFolder.empty()) {
        PlanCheck check = refusal(Refusal::PendingOtherUnit, pendingCarryOverText(logIn(look.pendingFolder), look.pendingFolder));
        check.pendingUnnamed = true;
        return check;
    }
    std::error_code ec;
    std::string folder;
    if (!serial.empty())
        folder = namedUnitFolder(env, serial);
    else if (!look.folder.empty() && look.folder != setFolder(env))
        folder = look.folder;
    else
        folder = newUnnamedFolder(env, ec);
    if (!ec)
        fs::create_directories(folder, ec);
    if (ec)
        return refusal(Refusal::UnreadableSet, "The unit's working folder \"" + folder + "\" cannot be made in the"
                                                   " firmware set (" + ec.message()
                                                   + "); the set's folder must be writable. Nothing was sent.");
    switch (lock.acquire(folder)) {
    case WorkFilesLock::Result::Locked:
        break;
    case WorkFilesLock::Result::InUse:
        return refusal(Refusal::SetInUse, "Another unitflash run is upgrading this unit (its working folder \""
                                              + folder + "\" is locked). Wait for that run to end. Nothing was sent.");
    case WorkFilesLock::Result::Failed:
        return refusal(Refusal::UnreadableSet, "The unit's working files cannot be locked (" + lock.errorText()
                                                   + "); the set's folder must be writable. Nothing was sent.");
    }
    std::string error;
    if (look.folder == setFolder(env) && !moveOldCarryOver(env, folder, error)) {
        lock.release();
        return refusal(Refusal::UnreadableSet, "The unfinished carry-over an older run left in the set cannot be"
                                               " moved into the unit's folder: " + error + ". Nothing was sent.");
    }
    const fs::path absolute = fs::absolute(folder, ec);
    env.unitDir = ec ? folder : absolute.string();
    return {};
}

std::vector<PendingCarryOver> unfinishedCarryOvers(const EngineEnv& env)
{
    const auto pending = [](const ResumeLog& log, const std::string& folder) {
        PendingCarryOver p{folder, log.serial(), {}};
        for (int i = 0; !log.record(i).empty(); ++i)
            p.step = log.record(i);
        return p;
    };
    std::vector<PendingCarryOver> found;
    if (const ResumeLog old = logIn(setFolder(env)); old.length() != 0)
        found.push_back(pending(old, "."));
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(unitsFolder(env), ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (const ResumeLog log = logIn((unitsFolder(env) / name).string()); log.length() != 0)
            found.push_back(pending(log, std::string(kUnitFoldersName) + "/" + name));
    return found;
}
