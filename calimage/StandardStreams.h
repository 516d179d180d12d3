// Standard output and error of the console tools, byte for byte the same on every platform.
#pragma once

// Makes standard output and standard error pass "\n" through unchanged, so
// that the tools' messages are the same bytes on every platform (the C
// runtime on Windows would otherwise write "\r\n"). Call first in main().
void writeStandardStreamsAsBytes();
