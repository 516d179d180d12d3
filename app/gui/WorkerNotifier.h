// The workers' notifier for the GUI: every report a worker posts becomes a
// queued Qt signal, delivered on the GUI thread.
#pragma once

#include <QObject>

#include "engine/EngineEnv.h"

// Lives on the GUI thread; post() is called on the worker's thread, so the
// signal reaches receivers of the GUI thread through their event queue.
// Must outlive the worker it was given to.
class WorkerNotifier : public QObject, public EngineNotifier {
    Q_OBJECT
public:
    using QObject::QObject;
    void post(int message, int wParam) override;
    // Called last by the worker's body, with its outcome as an int.
    void end(int outcome);

Q_SIGNALS:
    // message: WM_IDENTIFY_DONE or WM_UPGRADE_DONE; wParam as the worker gave it.
    void posted(int message, int wParam);
    // The worker's body is returning: the port is released.
    void ended(int outcome);
};
