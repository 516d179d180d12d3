// The support trace: a port decorator that records every byte sent and
// received, and the file those records go to.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/cli/TraceFormatter.h"
#include "comlink/Clock.h"
#include "comlink/ForwardingPort.h"

// The trace file. Each record goes through a TraceFormatter, stamped with
// the milliseconds since the log was opened; every finished line is
// flushed at once, so a crash keeps the trace up to its last line. Any
// thread (one lock around the formatter and the file).
class TraceLog {
public:
    // Creates (or empties) the file at path; ok() tells whether it could.
    TraceLog(const std::string& path, Clock& clock);
    // Writes what is pending and closes the file.
    ~TraceLog();

    bool ok() const { return file != nullptr; }
    void bytes(TraceDirection dir, const std::uint8_t* data, std::size_t n);
    void note(const std::string& text);

    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

private:
    std::uint32_t now() { return clock.tickMs() - startMs; }
    void write(const std::vector<std::string>& lines);

    std::mutex lock;
    std::FILE* file = nullptr;
    Clock& clock;
    std::uint32_t startMs;
    TraceFormatter formatter;
};

// Passes every operation to the port it owns and records in the log what
// was really written (the count the driver took) and read, plus rate
// changes, purges, opening and closing. lastError and portIndex mirror the
// inner port's. Same thread rules as the inner port.
class TracingPort : public ForwardingPort {
public:
    TracingPort(std::unique_ptr<CommPort> port, std::shared_ptr<TraceLog> log, const std::string& name);
    ~TracingPort() override;

    int close() override;
    int setLineSettings(int baud, char parity, int dataBits, int stopBits) override;
    int writeChar(int ch) override;
    int writeString(const char* text) override;
    int write(const std::uint8_t* bytes, unsigned len) override;
    int sendPriorityChar(int ch) override;
    int readChar() override;
    int read(std::uint8_t* bytes, unsigned len) override;
    int purge(int which, int count) override;

protected:
    CommPort* inner() override { return port.get(); }

private:
    std::unique_ptr<CommPort> port;
    std::shared_ptr<TraceLog> log;
    std::string name;
};
