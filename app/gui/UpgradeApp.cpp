// The application object.
#include "app/gui/UpgradeApp.h"

#include <QApplication>

#include "app/gui/LibraryErrorBox.h"
#include "app/gui/ProgressWindow.h"

UpgradeApp::UpgradeApp() : env(GuiEnvironment::fromProcessEnvironment()) {}

UpgradeApp::~UpgradeApp()
{
    setLibraryErrorHandler({});
}

int UpgradeApp::run()
{
    // The main window is hidden during the first wizard run; the program
    // ends when the main window does, not when a window happens to close.
    QApplication::setQuitOnLastWindowClosed(false);
    mainWindow = std::make_unique<ProgressWindow>(state, env);
    setLibraryErrorHandler(makeLibraryErrorHandler(mainWindow.get(), env.runner()));
    QObject::connect(mainWindow.get(), &QDialog::finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    mainWindow->start();
    const int status = QApplication::exec();
    // Stops and joins any worker before the state goes.
    mainWindow.reset();
    return status;
}
