// The worker thread with its stop request.
#include "engine/Workers.h"

#include <utility>

WorkerThread::~WorkerThread()
{
    requestStop();
    join();
}

void WorkerThread::start(std::function<void()> body)
{
    join();
    stop = false;
    active = true;
    thread = std::thread([this, body = std::move(body)] {
        body();
        active = false;
    });
}

void WorkerThread::join()
{
    if (thread.joinable())
        thread.join();
}
