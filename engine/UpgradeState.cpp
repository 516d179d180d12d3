// The shared record: locked texts, step lists and the transfer status.
#include "engine/UpgradeState.h"

#include "comlink/PortFactory.h"
#include "engine/EngineEnv.h"
#include "engine/UnitFolder.h"
#include "transfer/TransferStatus.h"

int StepListView::count() const
{
    int n = 0;
    while (n < static_cast<int>(slots.size()) && slots[static_cast<std::size_t>(n)].present)
        ++n;
    return n;
}

namespace {
bool inRange(int i)
{
    return i >= 0 && i < StepList::kSlots;
}
}  // namespace

int StepList::present(int i) const
{
    std::lock_guard<std::mutex> hold(lock);
    return inRange(i) ? slots[static_cast<std::size_t>(i)].present : 0;
}

std::string StepList::name(int i) const
{
    std::lock_guard<std::mutex> hold(lock);
    return inRange(i) ? slots[static_cast<std::size_t>(i)].name : std::string();
}

int StepList::done(int i) const
{
    std::lock_guard<std::mutex> hold(lock);
    return inRange(i) ? slots[static_cast<std::size_t>(i)].done : 0;
}

void StepList::setEntry(int i, const std::string& text)
{
    if (i < 0 || i >= kMaxEntries)
        return;
    std::lock_guard<std::mutex> hold(lock);
    slots[static_cast<std::size_t>(i)] = StepSlot{1, text, 0};
}

void StepList::setDone(int i, int value)
{
    std::lock_guard<std::mutex> hold(lock);
    if (inRange(i))
        slots[static_cast<std::size_t>(i)].done = value;
}

void StepList::clearSlot(int i)
{
    std::lock_guard<std::mutex> hold(lock);
    if (inRange(i))
        slots[static_cast<std::size_t>(i)] = StepSlot{0, std::string(), 1};
}

StepListView StepList::snapshot() const
{
    std::lock_guard<std::mutex> hold(lock);
    StepListView view;
    view.slots = slots;
    return view;
}

UpgradeState::UpgradeState() : stepList(std::make_shared<StepList>()) {}

UpgradeState::~UpgradeState() = default;

std::string UpgradeState::statusText() const
{
    std::lock_guard<std::mutex> hold(lock);
    return status;
}

void UpgradeState::setStatusText(const std::string& text)
{
    std::lock_guard<std::mutex> hold(lock);
    status = text;
}

std::shared_ptr<TransferStatus> UpgradeState::transferStatus() const
{
    std::lock_guard<std::mutex> hold(lock);
    return transfer;
}

void UpgradeState::setTransferStatus(std::shared_ptr<TransferStatus> status_)
{
    std::lock_guard<std::mutex> hold(lock);
    transfer = std::move(status_);
}

std::string UpgradeState::controlFileName() const
{
    std::lock_guard<std::mutex> hold(lock);
    return controlFile;
}

void UpgradeState::setControlFileName(const std::string& name)
{
    std::lock_guard<std::mutex> hold(lock);
    controlFile = name;
}

std::shared_ptr<StepList> UpgradeState::steps() const
{
    std::lock_guard<std::mutex> hold(lock);
    return stepList;
}

std::shared_ptr<StepList> UpgradeState::replaceSteps()
{
    auto fresh = std::make_shared<StepList>();
    std::lock_guard<std::mutex> hold(lock);
    // The old list lives on while a reader still holds it.
    stepList = fresh;
    return fresh;
}

std::string UpgradeState::serialNumber() const
{
    std::lock_guard<std::mutex> hold(lock);
    return serial;
}

void UpgradeState::setSerialNumber(const std::string& serial_)
{
    std::lock_guard<std::mutex> hold(lock);
    serial = serial_;
}

std::string UpgradeState::failureText() const
{
    std::lock_guard<std::mutex> hold(lock);
    return failure;
}

void UpgradeState::setFailureText(const std::string& text)
{
    std::lock_guard<std::mutex> hold(lock);
    if (failure.empty() || text.empty())
        failure = text;
}

void UpgradeState::raiseError()
{
    errorFlag = 1;
    ++errorRaises;
}

void UpgradeState::resetUnit()
{
    mode = MODE_NOT_READY;
    unitKind = UNIT_UNKNOWN;
    listReady = 0;
    overallPercent = 0;
    secondsLeft = -1;
    unitVersion = 0;
    listShown = 0;
    finalVersion = 0;
    controlVersion = 0;
    model = 0;
    baudRate = 38400;
    currentFileSize = 0;
    setSerialNumber("");
    setStatusText("");
    setFailureText("");
    refusal = 0;
}

std::string EngineEnv::folderOf(const std::string& name) const
{
    return !unitDir.empty() && isWorkingFile(name) ? unitDir : workDir;
}

std::string EngineEnv::path(const std::string& name) const
{
    const std::string folder = folderOf(name);
    if (folder.empty())
        return name;
    return folder + "/" + name;
}

PortOpener platformPortOpener()
{
    return [](int portIndex, int rxQueue, int txQueue) { return openCommPort(portIndex, rxQueue, txQueue); };
}
