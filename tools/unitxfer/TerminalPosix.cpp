// Terminal test on POSIX.
#include "tools/unitxfer/Terminal.h"

#include <unistd.h>

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}
