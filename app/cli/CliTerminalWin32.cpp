// Terminal test and Ctrl-C handling on Windows.
#include "app/cli/CliTerminal.h"

#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <windows.h>

namespace {

// The console control handler cannot be handed state, so the counter it
// bumps is reached through this one pointer, set before it is installed.
std::atomic<int>* pressCounter = nullptr;

BOOL WINAPI onControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (pressCounter == nullptr || pressCounter->fetch_add(1) + 1 >= 2)
        _exit(130);
    return TRUE;
}

}  // namespace

bool prepareInPlaceOutput()
{
    if (_isatty(_fileno(stdout)) == 0)
        return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode))
        return false;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void installInterruptHandler(std::atomic<int>& presses)
{
    pressCounter = &presses;
    SetConsoleCtrlHandler(onControl, TRUE);
}
