// File, transfer and child-program helpers of the upgrade phases.
#include "engine/UpgradeSession.h"

#include <cstdio>
#include <filesystem>

#include "engine/ResumeLog.h"
#include "engine/UpgradeProgress.h"
#include "engine/VersionText.h"
#include "process/ChildProcess.h"
#include "transfer/FileEngine.h"
#include "transfer/FileTransfer.h"

int EngineTransferStatus::abortQuery()
{
    progress.transferMoved(bytesDone, blockSize);
    return env.stopRequested() ? kTransferStopped : 0;
}

long UpgradeSession::fileSize(const std::string& name) const
{
    std::FILE* f = std::fopen(env.path(name).c_str(), "rb");
    if (f == nullptr)
        return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        size = std::ftell(f);
    std::fclose(f);
    return size;
}

bool fileReadable(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    std::fclose(f);
    return true;
}

bool UpgradeSession::fail(const std::string& why)
{
    if (stopped())
        return false;
    state.setFailureText(why);
    state.raiseError();
    return false;
}

void UpgradeSession::showFile(const std::string& name, int size)
{
    status.setFileName(name.c_str());
    state.currentFileSize = size;
}

int UpgradeSession::sendFile(FileTransfer& transfer, const std::string& name)
{
    if (stopped())
        return kTransferStopped;
    // Opened below its folder, so the transfer shows the bare name.
    files.setBaseFolder(env.folderOf(name));
    transfer.setFileEngine(&files);
    return transfer.sendFile(name.c_str());
}

int UpgradeSession::receiveFile(FileTransfer& transfer, const std::string& name)
{
    if (stopped())
        return kTransferStopped;
    files.setBaseFolder(env.folderOf(name));
    transfer.setFileEngine(&files);
    return transfer.receiveFile(name.c_str());
}

int UpgradeSession::upload(FileTransfer& transfer, const std::string& name)
{
    console.sendCommand("\n\nbtx\n");
    if (!console.pause(1000))
        return kTransferStopped;
    const long size = fileSize(name);
    if (size < 0) {
        fail("The file \"" + name + "\" can no longer be opened in the firmware set.");
        return kUploadNoFile;
    }
    state.currentFileSize = static_cast<int>(size);
    return sendFile(transfer, name);
}

int UpgradeSession::uploadUntilTaken(FileTransfer& transfer, const std::string& name, int result)
{
    while (result != 0) {
        if (result == kUploadNoFile || stopped())
            return stopped() ? kTransferStopped : result;
        if (!console.pause(3000))
            return kTransferStopped;
        result = upload(transfer, name);
    }
    return 0;
}

bool UpgradeSession::queryVersion(int pauseMs, double& version)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        console.sendCommand("idn? k\n");
        if (!console.pause(pauseMs))
            return false;
        if (parseVersion(console.readReply(kReplyNormal), version))
            return true;
    }
    return false;
}

ToolRun UpgradeSession::runTool(const std::string& baseName, const std::vector<std::string>& args)
{
    if (stopped())
        return ToolRun::Stopped;
    ChildProcess child;
    // Nothing is read from the program; its chatter goes to the front end's
    // file for it, or nowhere, never onto a display being redrawn.
    if (!env.toolOutput.empty()) {
        child.redirectToFile(ChildProcess::StdOut, env.toolOutput, true);
        child.mergeErrorIntoOutput();
    } else {
        child.redirectToNull(ChildProcess::StdOut);
        child.redirectToNull(ChildProcess::StdErr);
    }
    // The program is the set's; it works in the unit's folder, where its
    // input lies and its output belongs.
    const std::string folder = env.folderOf(kResumeLogName);
    if (!child.start(fullPath(toolFileName(baseName)), args, folder.empty() ? std::string(".") : folder)) {
        fail("The program " + baseName + " of the firmware set could not be started.");
        return ToolRun::Failed;
    }
    while (!child.wait(100)) {
        if (stopped()) {
            child.kill();
            child.wait(-1);
            return ToolRun::Stopped;
        }
    }
    if (child.exitStatus() != 1) {
        fail("The program " + baseName + " of the firmware set failed (exit status "
             + std::to_string(child.exitStatus()) + "; it ends with 1 when its output was written).");
        return ToolRun::Failed;
    }
    return ToolRun::Done;
}

std::string UpgradeSession::fullPath(const std::string& name) const
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(env.path(name), ec);
    return ec ? env.path(name) : absolute.string();
}

void UpgradeSession::removeFile(const std::string& name)
{
    std::error_code ignored;
    std::filesystem::remove(env.path(name), ignored);
}
