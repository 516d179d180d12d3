// The library error box for the GUI: shown modally on the GUI thread,
// whichever thread raised the error.
#pragma once

#include "comlink/LibraryError.h"

class DialogRunner;
class QObject;

// A handler for setLibraryErrorHandler(). On the GUI thread it shows the box
// at once; on a worker thread it hands the box to the GUI thread (through
// guiObject's event queue) and blocks until the box is closed. guiObject
// and runner must live as long as the handler is installed.
LibraryErrorHandler makeLibraryErrorHandler(QObject* guiObject, DialogRunner& runner);
