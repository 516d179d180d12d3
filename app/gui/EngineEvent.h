// The private messages as queued Qt events, and the notifier through which
// the workers post them to the GUI thread.
#pragma once

#include <QEvent>

#include "engine/EngineEnv.h"

class QObject;

// One posted message: its number (WM_WIZARD_BUTTONS .. WM_FILE_ERROR) and
// its wParam. `run` tags a worker's report with the run that sent it, so a
// report of a run the GUI has given up on can be told apart; 0 elsewhere.
class EngineEvent : public QEvent {
public:
    static QEvent::Type type();
    EngineEvent(int message, int wParam, int run = 0);

    const int message;
    const int wParam;
    const int run;
};

// Posts message to target through the GUI thread's event queue. Any thread;
// target must outlive the call. False when there is no target.
bool postEngineEvent(QObject* target, int message, int wParam, int run = 0);

// The workers' notifier: every report becomes a queued EngineEvent for the
// target (the wizard sheet or the main window). post() is called on the
// worker's thread; the target must outlive the worker.
class QueuedNotifier : public EngineNotifier {
public:
    QueuedNotifier(QObject* target, int run) : target(target), run(run) {}
    void post(int message, int wParam) override { postEngineEvent(target, message, wParam, run); }

private:
    QObject* target;
    int run;
};
