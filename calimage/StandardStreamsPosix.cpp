// Standard streams on POSIX: already byte streams.
#include "calimage/StandardStreams.h"

void writeStandardStreamsAsBytes()
{
}
