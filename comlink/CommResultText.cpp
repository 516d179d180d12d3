// The meanings of the port and link result codes.
#include "comlink/CommPort.h"

namespace {

struct Meaning {
    CommResult code;
    const char* text;
};

constexpr Meaning kMeanings[] = {
    {COMM_GENERAL_FAILURE, "serial port failure"},
    {COMM_NO_CHARACTER, "no character available"},
    {COMM_NOT_SUPPORTED, "operation not supported by the port"},
    {COMM_OUTPUT_INCOMPLETE, "the port took fewer bytes than asked"},
    {COMM_BREAK_FAILED, "setting or clearing break failed"},
    {COMM_DEVICE_FAULT, "serial device fault or device gone"},
    {COMM_CLOSE_FAILED, "closing the port failed"},
    {COMM_BAD_INPUT_FLOW, "unknown input flow-control kind"},
    {COMM_BAD_OUTPUT_FLOW, "unknown output flow-control kind"},
    {COMM_OUT_OF_MEMORY, "out of memory opening the port"},
    {COMM_PORT_IN_USE, "port already in use"},
    {COMM_BAUD_REFUSED, "baud rate refused"},
    {COMM_BAD_PARITY, "parity not supported"},
    {COMM_BAD_STOP_BITS, "stop bits not 1 or 2"},
    {COMM_BAD_DATA_BITS, "data bits not between 4 and 8"},
};

} // namespace

const char* commResultText(int code)
{
    if (code == 0)
        return "success";
    for (const Meaning& m : kMeanings)
        if (m.code == code)
            return m.text;
    return "unknown result";
}
