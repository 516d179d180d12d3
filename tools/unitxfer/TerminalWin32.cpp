// Terminal test on Windows (a console, not a pipe or file).
#include "tools/unitxfer/Terminal.h"

#include <cstdio>
#include <io.h>

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}
