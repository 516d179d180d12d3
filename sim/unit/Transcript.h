// The unit's transcript: one JSON object per line for every command, every
// transfer, every restart and version change, so tests and people can see
// what the host did.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "comlink/Clock.h"

// Every line holds "ms" (milliseconds since the transcript began) and
// "event"; the other members depend on the event:
//   start      kind, model, serial, version, baud, device, resumed
//   command    text (the line as received, without its ending)
//   transfer   direction ("upload": host to unit, "download": unit to host),
//              size, sha256, result (0 = success), and for an upload the
//              placement (address, count) or why a load header was refused;
//              for a download the address
//   version    from, to (texts as the console prints them)
//   reboot     command ("boot" or "reboot"), silent_ms
//   fault      what ("power_cut", "cancel_upload")
//   stop       reason
// The file is flushed after every line, so a reader sees each event as soon
// as the unit has acted on it. Without a file name nothing is written.
class Transcript {
public:
    // clock: the time base for "ms" (not owned).
    explicit Transcript(Clock& clock);

    // Opens path, emptied, or kept and added to with append (a unit that
    // resumes from a dumped state goes on with its transcript). False when
    // it cannot be opened.
    bool open(const std::string& path, bool append = false);
    bool isOpen() const { return out.is_open(); }

    // Writes one event: fields plus "ms" and "event".
    void record(const std::string& event, nlohmann::json fields = nlohmann::json::object());

    // The number of events recorded (also without a file).
    int count() const { return events; }

private:
    Clock& clock;
    std::uint32_t startMs;
    std::ofstream out;
    int events = 0;
};
