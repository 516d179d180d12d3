// Remembers a port's line settings when bound and gives them back on restore().
#pragma once

#include "comlink/CommPort.h"

class CommLink;

// The line settings to apply (baudRate..stopBits) and those the port had
// when the holder was bound (old*). Binding switches the line to 1200 8N1 at
// once; set(), the setters and restore() apply through the port.
class PortSettings {
public:
    // Unbound when link is null.
    explicit PortSettings(CommLink* link = nullptr);

    // 0, or -801 when unbound or refused by the port.
    int apply();
    // Reads the port's current settings into the old values; 0 or -801.
    int readCurrent();
    int set(int baud, char parity, int dataBits, int stopBits);
    // Each stores one value and applies; on failure the previous value is
    // put back. 0 or -801 (setParity: 0 or -1).
    int setBaudRate(int baud);
    int setParity(char parity);
    int setDataBits(int dataBits);
    int setStopBits(int stopBits);
    // Applies the old values again; 0 when unbound.
    int restore();
    void dump(const LineSink& sink) const;

    int baudRate = 1200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int oldBaudRate = 1200;
    char oldParity = 'N';
    int oldDataBits = 8;
    int oldStopBits = 1;
    CommPort* port = nullptr;  // not owned; null = unbound
};
