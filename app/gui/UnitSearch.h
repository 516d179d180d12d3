// One search for the unit on the chosen port, as the wizard's identify page
// runs it: the identification worker, the search window it shows, and its
// result as a signal.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

#include "app/gui/GuiEnvironment.h"
#include "app/gui/SearchWindow.h"
#include "engine/Workers.h"

class WorkerNotifier;
class QWidget;

// GUI thread only, except the SearchAnimation calls, which the worker makes
// and which are carried out later on the GUI thread in their order. Never
// two searches on one port: a start while a search runs stops that one and
// begins once it has released the port. Reports of a search that a later
// start or a stop replaced are dropped.
class UnitSearch : public QObject, private SearchAnimation {
    Q_OBJECT
public:
    // windowOwner: the window the search window is centred over.
    UnitSearch(UpgradeState& state, const GuiEnvironment& env, QWidget* windowOwner);
    ~UnitSearch() override;

    // Starts a search: clears the status text and the unit fields, says what
    // it waits for, and runs the identification.
    void start();
    // Asks a running search to stop and drops its report; returns at once.
    void stop();
    // stop(), then waits until the worker has let go of the port.
    void stopAndWait();
    // True while a worker runs or a start waits for the previous one.
    bool active() const { return worker.running() || pendingStart; }
    // The port error of the last search's open (0: the port opened).
    int portError() const { return openError ? openError->load() : 0; }
    // The search window while it exists; null otherwise.
    SearchWindow* window() const { return shown; }

Q_SIGNALS:
    // The current search has ended and released the port.
    void finished(IdentifyOutcome outcome);

private:
    void launchWhenFree();
    void create() override;
    void setCaption(const std::string& caption) override;
    void destroy() override;

    UpgradeState& state;
    const GuiEnvironment& env;
    QWidget* owner;
    int run = 0;  // the search whose reports count
    bool pendingStart = false;
    QPointer<SearchWindow> shown;
    std::shared_ptr<std::atomic<int>> openError;
    std::unique_ptr<WorkerNotifier> notifier;
    WorkerThread worker;  // last: stopped and joined before the rest goes
};
