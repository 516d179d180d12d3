// Meanings of the link, transfer and file engine result codes.
#include "tools/unitxfer/ResultText.h"

namespace {

struct Meaning {
    int code;
    const char* text;
};

constexpr Meaning kMeanings[] = {
    {0, "success"},
    {-801, "serial port failure"},
    {-802, "no character available"},
    {-803, "operation not supported by the port"},
    {-805, "the port took fewer bytes than asked"},
    {-827, "setting or clearing break failed"},
    {-828, "serial device fault or device gone"},
    {-829, "closing the port failed"},
    {-830, "unknown input flow-control kind"},
    {-832, "unknown output flow-control kind"},
    {-836, "out of memory opening the port"},
    {-838, "port already in use"},
    {-839, "baud rate refused"},
    {-840, "parity not supported"},
    {-841, "stop bits not 1 or 2"},
    {-842, "data bits not between 4 and 8"},
    {-901, "transfer aborted"},
    {-902, "the file could not be opened"},
    {-903, "the file to send is empty"},
    {-904, "the received file could not be written"},
    {-908, "too many errors"},
    {-909, "the other side never started"},
    {-912, "end of file could not be sent"},
    {-914, "the other side cancelled"},
    {-920, "no block buffer"},
    {-921, "bad block header"},
    {-922, "start request could not be sent"},
    {-923, "acknowledgement could not be sent"},
    {-924, "time-out sending a byte"},
    {-925, "time-out sending a block"},
    {-926, "no file to send"},
    {-927, "no file engine"},
    {-929, "carrier lost"},
    {kXferInterrupted, "interrupted by the user"},
    {-950, "file engine: a file is already open"},
    {-951, "file engine: the file could not be opened or created"},
    {-952, "file engine: closing the file failed"},
    {-953, "file engine: no file open"},
    {-954, "file engine: seek failed"},
    {-955, "file engine: position unknown"},
    {-956, "file engine: out of memory"},
};

} // namespace

const char* resultMeaning(int code)
{
    for (const Meaning& m : kMeanings)
        if (m.code == code)
            return m.text;
    return "unknown result";
}
