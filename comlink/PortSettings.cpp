// Remembers a port's line settings when bound and gives them back on restore().
#include "comlink/PortSettings.h"

#include "comlink/CommLink.h"
#include "comlink/PortDump.h"

PortSettings::PortSettings(CommLink* link)
{
    if (!link || !link->port)
        return;
    port = link->port;
    readCurrent();
    apply();
}

int PortSettings::apply()
{
    if (!port)
        return COMM_GENERAL_FAILURE;
    return port->setLineSettings(baudRate, parity, dataBits, stopBits) == 0 ? 0
                                                                           : COMM_GENERAL_FAILURE;
}

int PortSettings::readCurrent()
{
    if (!port)
        return COMM_GENERAL_FAILURE;
    return port->getLineSettings(oldBaudRate, oldParity, oldDataBits, oldStopBits) == 0
               ? 0
               : COMM_GENERAL_FAILURE;
}

int PortSettings::set(int baud, char parity_, int dataBits_, int stopBits_)
{
    baudRate = baud;
    parity = parity_;
    dataBits = dataBits_;
    stopBits = stopBits_;
    return apply();
}

namespace {

// Stores value in field and applies; a refused value is taken back so the
// holder keeps describing what the line was last set to.
template <typename T>
int storeAndApply(PortSettings& s, T& field, T value, int failure)
{
    const T previous = field;
    field = value;
    if (s.apply() == 0)
        return 0;
    field = previous;
    return failure;
}

} // namespace

int PortSettings::setBaudRate(int baud)
{
    return storeAndApply(*this, baudRate, baud, COMM_GENERAL_FAILURE);
}

int PortSettings::setParity(char parity_)
{
    return storeAndApply(*this, parity, parity_, -1);
}

int PortSettings::setDataBits(int dataBits_)
{
    return storeAndApply(*this, dataBits, dataBits_, COMM_GENERAL_FAILURE);
}

int PortSettings::setStopBits(int stopBits_)
{
    return storeAndApply(*this, stopBits, stopBits_, COMM_GENERAL_FAILURE);
}

int PortSettings::restore()
{
    if (!port)
        return 0;
    baudRate = oldBaudRate;
    parity = oldParity;
    dataBits = oldDataBits;
    stopBits = oldStopBits;
    return apply();
}

void PortSettings::dump(const LineSink& sink) const
{
    sinkLine(sink, "Old Port - Baud: %6ld    Parity: %c    Data: %d    Stop: %d    ",
             static_cast<long>(oldBaudRate), oldParity, oldDataBits, oldStopBits);
    sinkLine(sink, "New Port - Baud: %6ld    Parity: %c    Data: %d    Stop: %d    ",
             static_cast<long>(baudRate), parity, dataBits, stopBits);
}
