// The library error box, carried to the GUI thread.
#include "app/gui/LibraryErrorBox.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include "app/gui/MessageBoxes.h"

LibraryErrorHandler makeLibraryErrorHandler(QObject* guiObject, DialogRunner& runner)
{
    return [guiObject, &runner](const char* message, const char* title) {
        const QString text = QString::fromUtf8(message);
        const QString caption = QString::fromUtf8(title);
        auto show = [&runner, text, caption] { showLibraryErrorBox(runner, text, caption); };
        if (QThread::currentThread() == guiObject->thread())
            show();
        else
            QMetaObject::invokeMethod(guiObject, show, Qt::BlockingQueuedConnection);
    };
}
