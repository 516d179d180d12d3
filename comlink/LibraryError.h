// The fatal library error shown when an operation a class must override is
// called on one that does not.
#pragma once

#include <functional>

// Shows "Pure Virtual function called @MODULE,LINE\nUnable to continue
// execution" with the title "Library Error" through the installed handler,
// then ends the process with exit code 1. Never returns.
[[noreturn]] void libraryError(const char* module, int line);

// Receives the formatted message and its title. The console default prints
// both to standard error; a GUI installs a message box. The process ends
// after the handler returns, whatever it does.
using LibraryErrorHandler = std::function<void(const char* message, const char* title)>;

// Installs a handler (an empty one restores the console default); returns
// the previous one. Call before any worker thread starts.
LibraryErrorHandler setLibraryErrorHandler(LibraryErrorHandler handler);
