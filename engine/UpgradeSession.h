// What the phases of one upgrade share: the state, the surroundings, the
// link with its console, the transfer status, and the file, transfer and
// child-program helpers they all use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ConsoleSession.h"
#include "engine/EngineEnv.h"
#include "engine/UpgradeState.h"
#include "transfer/TransferStatus.h"

class CommLink;
class FileEngine;
class FileTransfer;
class UpgradeProgress;

// The transfer result of a transfer that a stop request cancelled.
constexpr int kTransferStopped = -930;

// The status record of the upgrade's transfers: a stop request makes the
// running transfer cancel on the line, and each block that passes moves
// the upgrade's progress. The GUI may read it from its timer. The transfer
// calls abortQuery only while the run (and so env and progress) exists.
class EngineTransferStatus : public TransferStatus {
public:
    EngineTransferStatus(const EngineEnv& env, UpgradeProgress& progress) : env(env), progress(progress) {}
    int abortQuery() override;

private:
    const EngineEnv& env;
    UpgradeProgress& progress;
};

// The result of upload() when the file cannot be opened: the transfer's
// own code for a name that matches no file.
constexpr int kUploadNoFile = XFER_NO_FILE;

// How a program of the set ended.
enum class ToolRun {
    Done,     // exited with status 1: the set's programs report a written output so
    Failed,   // could not be started, or exited otherwise (failureText says which)
    Stopped,  // asked to stop; the program was ended
};

// One upgrade's shared objects, made by the upgrade worker in its order.
struct UpgradeSession {
    UpgradeState& state;
    const EngineEnv& env;
    CommLink& link;
    ConsoleSession& console;
    TransferStatus& status;
    // The files of every transfer, with the firmware-set folder as its base,
    // so a folder with blanks in its path is never split as a name list.
    FileEngine& files;
    // The weighted progress: each phase marks the parts it has finished.
    UpgradeProgress& progress;

    bool stopped() const { return env.stopRequested(); }
    // Records why the run fails (the first cause stands), raises errorFlag
    // and returns false, so a step can end with "return s.fail(...)". A
    // stop request is not a failure: then nothing is recorded.
    bool fail(const std::string& why);

    // The files below are named as in the set; a working file of the run
    // lies in the unit's folder (EngineEnv::path).
    // Size in bytes of a file; -1 when it cannot be opened.
    long fileSize(const std::string& name) const;
    bool fileExists(const std::string& name) const { return fileSize(name) >= 0; }
    // Shows name as the file being transferred and size as the progress
    // total.
    void showFile(const std::string& name, int size);
    // One transfer of a firmware-set file (a name relative to the set) over
    // the link; the transfer's result (0 success), or kTransferStopped.
    int sendFile(FileTransfer& transfer, const std::string& name);
    int receiveFile(FileTransfer& transfer, const std::string& name);
    // One upload to the unit's loader: asks for it with "btx" (after two
    // blank lines that bring its console to a fresh line), pauses 1 s,
    // measures the file, shows its size as the progress total and sends it.
    // The transfer's result; kUploadNoFile (errorFlag raised, nothing sent)
    // when the file cannot be opened; kTransferStopped when asked to stop.
    int upload(FileTransfer& transfer, const std::string& name);
    // upload() until the unit takes the file, as the main list sends its
    // files: after a refused or lost transfer, waits for the prompt, pauses
    // 3 s and offers it again, without limit. result is the first attempt's.
    // 0 once taken; kUploadNoFile (recorded as the failure) when the file
    // vanished; kTransferStopped when asked to stop.
    int uploadUntilTaken(FileTransfer& transfer, const std::string& name, int result);
    // Asks "idn? k" until a version can be read from the reply, at most
    // three times, pausing pauseMs before each read. False when no reply
    // held a version (or when asked to stop).
    bool queryVersion(int pauseMs, double& version);
    // Runs one of the set's programs (by its base name: "Kcnv", "Lcnv",
    // "header") in the unit's working folder with args (args[0] is the
    // name the program sees) and waits for it. A failure is recorded with the
    // program's name and exit status.
    ToolRun runTool(const std::string& baseName, const std::vector<std::string>& args);
    // Deletes a file if it exists.
    void removeFile(const std::string& name);
    // The file's absolute path, for a program working in another folder.
    std::string fullPath(const std::string& name) const;
};

// The file a program of the set is started from, relative to the
// firmware-set folder: "./Kcnv" on POSIX, "Kcnv.exe" on Windows.
std::string toolFileName(const std::string& baseName);
// True when path is a regular file this process may run (POSIX: execute
// permission; Windows: it exists).
bool toolRunnable(const std::string& path);
// True when path is a regular file that can be opened for reading.
bool fileReadable(const std::string& path);
