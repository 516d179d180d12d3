// The library error box, carried to the GUI thread without a wait cycle.
#include "app/gui/LibraryErrorBox.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "app/gui/MessageBoxes.h"
#include "engine/Workers.h"

namespace {

// The one box a worker may be waiting for. The handler is process-wide, so
// this is too.
struct PendingBox {
    std::mutex lock;
    std::condition_variable closed;
    DialogRunner* runner = nullptr;
    std::optional<std::pair<QString, QString>> waiting;  // message, title
    bool done = false;
};

PendingBox& pending()
{
    static PendingBox box;
    return box;
}

// Shows the waiting box, if any, and wakes its worker. GUI thread.
void showPendingBox()
{
    PendingBox& p = pending();
    std::optional<std::pair<QString, QString>> box;
    DialogRunner* runner = nullptr;
    {
        std::lock_guard<std::mutex> hold(p.lock);
        box.swap(p.waiting);
        runner = p.runner;
    }
    if (!box || runner == nullptr)
        return;
    showLibraryErrorBox(*runner, box->first, box->second);
    std::lock_guard<std::mutex> hold(p.lock);
    p.done = true;
    p.closed.notify_all();
}

}  // namespace

LibraryErrorHandler makeLibraryErrorHandler(QObject* guiObject, DialogRunner& runner)
{
    {
        std::lock_guard<std::mutex> hold(pending().lock);
        pending().runner = &runner;
    }
    return [guiObject, &runner](const char* message, const char* title) {
        const QString text = QString::fromUtf8(message);
        const QString caption = QString::fromUtf8(title);
        if (QThread::currentThread() == guiObject->thread()) {
            showLibraryErrorBox(runner, text, caption);
            return;
        }
        PendingBox& p = pending();
        std::unique_lock<std::mutex> hold(p.lock);
        p.waiting.emplace(text, caption);
        p.done = false;
        // Whichever comes first shows it: the GUI's event loop, or a GUI
        // thread waiting in waitForWorker().
        QMetaObject::invokeMethod(guiObject, showPendingBox, Qt::QueuedConnection);
        p.closed.wait(hold, [&p] { return p.done; });
    };
}

void waitForWorker(WorkerThread& worker)
{
    while (worker.running()) {
        showPendingBox();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
}
