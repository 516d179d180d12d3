// Terminal test and Ctrl-C handling on POSIX.
#include "app/cli/CliTerminal.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// A signal handler cannot be handed state, so the counter it bumps is
// reached through this one pointer, set before the handler is installed.
std::atomic<int>* pressCounter = nullptr;

extern "C" void onInterrupt(int)
{
    if (pressCounter == nullptr || pressCounter->fetch_add(1) + 1 >= 2)
        _exit(130);
}

}  // namespace

bool prepareInPlaceOutput()
{
    const char* term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) != 0 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

void installInterruptHandler(std::atomic<int>& presses)
{
    pressCounter = &presses;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
