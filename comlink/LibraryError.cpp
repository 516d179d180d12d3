// The fatal library error: formats the message, hands it to the installed
// handler and ends the process.
#include "comlink/LibraryError.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

LibraryErrorHandler& installedHandler()
{
    static LibraryErrorHandler handler;
    return handler;
}

void consoleHandler(const char* message, const char* title)
{
    std::fprintf(stderr, "%s\n%s\n", title, message);
}

} // namespace

LibraryErrorHandler setLibraryErrorHandler(LibraryErrorHandler handler)
{
    LibraryErrorHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

void libraryError(const char* module, int line)
{
    char message[160];
    std::snprintf(message, sizeof message,
                  "Pure Virtual function called @%s,%d\nUnable to continue execution",
                  module ? module : "", line);
    const char* title = "Library Error";
    if (installedHandler())
        installedHandler()(message, title);
    else
        consoleHandler(message, title);
    // _Exit rather than exit: the caller may be a worker thread while other
    // threads still use static objects that exit() would destroy.
    std::fflush(nullptr);
    std::_Exit(1);
}
