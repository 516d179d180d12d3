// The workers' reports as queued signals.
#include "app/gui/WorkerNotifier.h"

void WorkerNotifier::post(int message, int wParam)
{
    Q_EMIT posted(message, wParam);
}

void WorkerNotifier::end(int outcome)
{
    Q_EMIT ended(outcome);
}
