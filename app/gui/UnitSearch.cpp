// The identification worker of the wizard, its search window and its result.
#include "app/gui/UnitSearch.h"

#include <QTimer>

#include "app/gui/LibraryErrorBox.h"
#include "app/gui/Resources.h"
#include "app/gui/SearchWindow.h"
#include "app/gui/WorkerNotifier.h"
#include "comlink/CommPort.h"

namespace {

// How often a waiting start looks whether the previous search has ended.
constexpr int kWaitPollMs = 20;

}  // namespace

UnitSearch::UnitSearch(UpgradeState& state, const GuiEnvironment& env, QWidget* windowOwner)
    : state(state), env(env), owner(windowOwner)
{
}

UnitSearch::~UnitSearch()
{
    worker.requestStop();
    waitForWorker(worker);
    delete shown.data();
}

void UnitSearch::start()
{
    ++run;
    if (worker.running()) {
        worker.requestStop();
        state.setStatusText(tr("Waiting for the previous search to release the port...").toStdString());
    }
    if (!pendingStart) {
        pendingStart = true;
        launchWhenFree();
    }
}

void UnitSearch::launchWhenFree()
{
    if (!pendingStart)
        return;
    if (worker.running()) {
        QTimer::singleShot(kWaitPollMs, this, &UnitSearch::launchWhenFree);
        return;
    }
    pendingStart = false;
    worker.join();
    // No worker runs: the unit fields of an earlier search are cleared, so
    // nothing of it shows while this one runs.
    state.unitKind = UNIT_UNKNOWN;
    state.model = 0;
    state.unitVersion = 0;
    state.mode = MODE_NOT_READY;
    state.setSerialNumber("");
    const int port = state.portIndex + 1;
    state.setStatusText(env.openDelayMs > 0
                            ? tr("Waiting %1 s for Comm %2 to settle before opening it...")
                                  .arg((env.openDelayMs + 999) / 1000)
                                  .arg(port)
                                  .toStdString()
                            : std::string());

    const int thisRun = run;
    notifier = std::make_unique<WorkerNotifier>();
    connect(notifier.get(), &WorkerNotifier::ended, this, [this, thisRun](int outcome) {
        if (thisRun == run && !pendingStart)
            Q_EMIT finished(static_cast<IdentifyOutcome>(outcome));
    });
    EngineEnv workerEnv = env.engineEnv(notifier.get(), this, &worker.stopFlag());
    // The open's own error, so a port that cannot be opened is told apart
    // from one where no unit answers.
    auto error = std::make_shared<std::atomic<int>>(0);
    openError = error;
    const PortOpener open = workerEnv.openPort ? workerEnv.openPort : platformPortOpener();
    workerEnv.openPort = [open, error](int index, int rx, int tx) {
        std::unique_ptr<CommPort> port = open(index, rx, tx);
        error->store(port ? port->lastError : -1);
        return port;
    };
    UpgradeState& shared = state;
    WorkerNotifier* report = notifier.get();
    worker.start([&shared, workerEnv, report] { report->end(static_cast<int>(runIdentification(shared, workerEnv))); });
}

void UnitSearch::stop()
{
    ++run;
    pendingStart = false;
    worker.requestStop();
}

void UnitSearch::stopAndWait()
{
    stop();
    waitForWorker(worker);
}

void UnitSearch::create()
{
    QMetaObject::invokeMethod(this, [this] {
        delete shown.data();
        shown = new SearchWindow(QStringLiteral(".\\SEARCH.AVI"), res::loaderVersion(), owner);
        shown->show();
        shown->raise();
        shown->activateWindow();
    }, Qt::QueuedConnection);
}

void UnitSearch::setCaption(const std::string& caption)
{
    const QString text = QString::fromStdString(caption);
    QMetaObject::invokeMethod(this, [this, text] {
        if (shown)
            shown->setWindowTitle(text);
    }, Qt::QueuedConnection);
}

void UnitSearch::destroy()
{
    QMetaObject::invokeMethod(this, [this] {
        const bool hadFocus = shown && shown->isActiveWindow();
        delete shown.data();
        // The keyboard goes back to the wizard, so Next and Back keep working.
        if (hadFocus && owner->isVisible())
            owner->activateWindow();
    }, Qt::QueuedConnection);
}
