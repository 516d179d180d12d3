// The library error box for the GUI: shown on the GUI thread, whichever
// thread raised the error, and never waiting on a GUI thread that itself
// waits for the worker.
#pragma once

#include "comlink/LibraryError.h"

class DialogRunner;
class QObject;
class WorkerThread;

// A handler for setLibraryErrorHandler(). On the GUI thread it shows the box
// at once. On a worker thread it hands the box to the GUI thread (through
// guiObject's event queue, or through waitForWorker() when the GUI thread
// is waiting for a worker) and blocks until the box is closed; the process
// ends after that. guiObject and runner must live as long as the handler is
// installed.
LibraryErrorHandler makeLibraryErrorHandler(QObject* guiObject, DialogRunner& runner);

// Waits on the GUI thread until worker's body has returned, then joins it.
// A library error box the worker raises meanwhile is shown from here, so
// the two threads never wait for each other.
void waitForWorker(WorkerThread& worker);
