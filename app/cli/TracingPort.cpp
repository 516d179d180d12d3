// Recording the serial traffic into the support trace.
#include "app/cli/TracingPort.h"

#include <cstring>

TraceLog::TraceLog(const std::string& path, Clock& c) : clock(c), startMs(c.tickMs())
{
    file = std::fopen(path.c_str(), "w");
    if (file != nullptr) {
        std::fputs("# unitflash-cli serial trace. Time in seconds since the start;\n"
                   "# -> sent to the unit, <- received from the unit, == the port itself.\n",
                   file);
        std::fflush(file);
    }
}

TraceLog::~TraceLog()
{
    std::lock_guard<std::mutex> hold(lock);
    if (file == nullptr)
        return;
    const std::vector<std::string> rest = formatter.flush();
    for (const std::string& line : rest)
        std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
}

void TraceLog::write(const std::vector<std::string>& lines)
{
    if (file == nullptr || lines.empty())
        return;
    for (const std::string& line : lines)
        std::fprintf(file, "%s\n", line.c_str());
    std::fflush(file);
}

void TraceLog::bytes(TraceDirection dir, const std::uint8_t* data, std::size_t n)
{
    std::lock_guard<std::mutex> hold(lock);
    write(formatter.feed(dir, data, n, now()));
}

void TraceLog::note(const std::string& text)
{
    std::lock_guard<std::mutex> hold(lock);
    write(formatter.note(text, now()));
}

TracingPort::TracingPort(std::unique_ptr<CommPort> p, std::shared_ptr<TraceLog> l, const std::string& n)
    : port(std::move(p)), log(std::move(l)), name(n)
{
    portIndex = port->portIndex;
    lastError = port->lastError;
    log->note(lastError == 0 ? "opened " + name : "could not open " + name + " (" + std::to_string(lastError) + ")");
}

TracingPort::~TracingPort()
{
    port.reset();
    log->note("released " + name);
}

int TracingPort::close()
{
    log->note("closing " + name);
    return ForwardingPort::close();
}

int TracingPort::setLineSettings(int baud, char parity, int dataBits, int stopBits)
{
    const int r = ForwardingPort::setLineSettings(baud, parity, dataBits, stopBits);
    log->note("line " + std::to_string(baud) + " " + std::to_string(dataBits) + parity + std::to_string(stopBits)
              + (r == 0 ? "" : " refused (" + std::to_string(r) + ")"));
    return r;
}

int TracingPort::writeChar(int ch)
{
    const int r = ForwardingPort::writeChar(ch);
    if (r == 0) {
        const std::uint8_t byte = static_cast<std::uint8_t>(ch);
        log->bytes(TraceDirection::Sent, &byte, 1);
    }
    return r;
}

int TracingPort::writeString(const char* text)
{
    if (text == nullptr)
        return 0;
    return write(reinterpret_cast<const std::uint8_t*>(text), static_cast<unsigned>(std::strlen(text)));
}

int TracingPort::write(const std::uint8_t* bytes, unsigned len)
{
    const int r = ForwardingPort::write(bytes, len);
    if (r > 0)
        log->bytes(TraceDirection::Sent, bytes, static_cast<std::size_t>(r));
    return r;
}

int TracingPort::sendPriorityChar(int ch)
{
    const int r = ForwardingPort::sendPriorityChar(ch);
    if (r == 0) {
        const std::uint8_t byte = static_cast<std::uint8_t>(ch);
        log->bytes(TraceDirection::Sent, &byte, 1);
    }
    return r;
}

int TracingPort::readChar()
{
    const int r = ForwardingPort::readChar();
    if (r >= 0) {
        const std::uint8_t byte = static_cast<std::uint8_t>(r);
        log->bytes(TraceDirection::Received, &byte, 1);
    }
    return r;
}

int TracingPort::read(std::uint8_t* bytes, unsigned len)
{
    const int r = ForwardingPort::read(bytes, len);
    if (r > 0)
        log->bytes(TraceDirection::Received, bytes, static_cast<std::size_t>(r));
    return r;
}

int TracingPort::purge(int which, int count)
{
    const int r = ForwardingPort::purge(which, count);
    log->note("purge " + std::to_string(which));
    return r;
}
