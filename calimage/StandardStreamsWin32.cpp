// Standard streams on Windows: switched from text to binary mode.
#include "calimage/StandardStreams.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

void writeStandardStreamsAsBytes()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
