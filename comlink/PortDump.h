// Text formatting shared by the settings dumps of the ports and holders.
#pragma once

#include <cstdint>

#include "comlink/CommPort.h"

// Values of DeviceControl::dtrControl and rtsControl.
enum LineControl : int {
    LINE_CONTROL_DISABLE = 0,
    LINE_CONTROL_ENABLE = 1,
    LINE_CONTROL_HANDSHAKE = 2,
};

// Values of DeviceControl::stopBits.
enum StopBitsCode : int {
    STOP_BITS_ONE = 0,
    STOP_BITS_ONE5 = 1,
    STOP_BITS_TWO = 2,
};

// The device-control fields a port keeps and reports in its settings dump.
// Parity uses the parity-table numbers (0 'N', 1 'O', 2 'E', 3 'M', 4 'S').
struct DeviceControl {
    unsigned baudRate = 0;
    int byteSize = 0;
    int parity = 0;
    int stopBits = STOP_BITS_ONE;
    int binary = 0;
    int parityCheck = 0;
    int outxCtsFlow = 0;
    int outxDsrFlow = 0;
    int dtrControl = LINE_CONTROL_DISABLE;
    int rtsControl = LINE_CONTROL_DISABLE;
    int outX = 0;
    int inX = 0;
    int discardNull = 0;
    unsigned xonChar = 0;
    unsigned xoffChar = 0;
    unsigned xonLimit = 0;
    unsigned xoffLimit = 0;
    unsigned eofChar = 0;
    unsigned evtChar = 0;
};

// The parity characters in table order; parityCode('X') is -1.
int parityCode(char parity);
char parityChar(int code);

// Formats one line (printf style) and hands it to the sink.
void sinkLine(const LineSink& sink, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The six-line port dump; portType names the implementation ("MS Win32").
void dumpDeviceControl(const char* portType, const DeviceControl& dc, const QueueStatus& q,
                       const LineSink& sink);
