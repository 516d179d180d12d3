// Queued private messages.
#include "app/gui/EngineEvent.h"

#include <QCoreApplication>

QEvent::Type EngineEvent::type()
{
    static const QEvent::Type registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

EngineEvent::EngineEvent(int message, int wParam, int run)
    : QEvent(type()), message(message), wParam(wParam), run(run)
{
}

bool postEngineEvent(QObject* target, int message, int wParam, int run)
{
    if (target == nullptr)
        return false;
    QCoreApplication::postEvent(target, new EngineEvent(message, wParam, run));
    return true;
}
