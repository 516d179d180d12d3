// The transfer status record: defaults of the hooks and the guarded file name.
#include "transfer/TransferStatus.h"

#include "transfer/BlockCheck.h"

TransferStatus::TransferStatus()
    : checkNames(checkKindNames())
{
}

void TransferStatus::reset(int newDirection)
{
    direction = newDirection;
    setFileName("<None>");
    filesOpened = 0;
    fileSize = 0;
    frameNumber = 0;
    blockNumber = 0;
    blockSize = 0;
    checkValue = 0;
    bytesDone = 0;
    result = 0;
    errorCount = 0;
    consecutiveErrors = 0;
}

int TransferStatus::notify(int currentResult)
{
    return currentResult;
}

void TransferStatus::message(const char* /*text*/)
{
}

int TransferStatus::abortQuery()
{
    return 0;
}

void TransferStatus::spareHook(int /*value*/)
{
}

std::string TransferStatus::fileNameSnapshot() const
{
    std::lock_guard<std::mutex> hold(nameLock);
    return fileName;
}

void TransferStatus::setFileName(const char* name)
{
    std::string copy = name ? name : "";
    std::lock_guard<std::mutex> hold(nameLock);
    fileName.swap(copy);
}
