// File, transfer and child-program helpers of the upgrade phases.
#include "engine/UpgradeSession.h"

#include <cstdio>
#include <filesystem>

#include "process/ChildProcess.h"
#include "transfer/FileEngine.h"
#include "transfer/FileTransfer.h"

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

void UpgradeSession::showFile(const std::string& name, int size)
{
    status.setFileName(name.c_str());
    state.currentFileSize = size;
}

int UpgradeSession::sendFile(FileTransfer& transfer, const std::string& name)
{
    if (stopped())
        return kTransferStopped;
    transfer.setFileEngine(&files);
    return transfer.sendFile(name.c_str());
}

int UpgradeSession::receiveFile(FileTransfer& transfer, const std::string& name)
{
    if (stopped())
        return kTransferStopped;
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
        state.raiseError();
        return kUploadNoFile;
    }
    state.currentFileSize = static_cast<int>(size);
    return sendFile(transfer, name);
}

bool UpgradeSession::runTool(const std::string& baseName, const std::vector<std::string>& args)
{
    if (stopped())
        return false;
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
    // A program that cannot be started is not reported: the step goes on
    // and the files it should have written are looked at instead.
    if (!child.start(toolFileName(baseName), args, env.workDir.empty() ? std::string(".") : env.workDir))
        return true;
    while (!child.wait(100)) {
        if (stopped()) {
            child.kill();
            child.wait(-1);
            return false;
        }
    }
    return true;
}

void UpgradeSession::removeFile(const std::string& name)
{
    std::error_code ignored;
    std::filesystem::remove(env.path(name), ignored);
}
