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
//   command    text (the line as received, without its ending), end (the
//              byte that ended it, "\n" or "\r"), and raw (byte text) when
//              the bytes taken for the line were not just text + end: the
//              LF completing a CR LF before it, rubbed-out or control bytes
//   transfer   direction ("upload": host to unit, "download": unit to host),
//              upload or download (its number), size, sha256, result (0 =
//              success), line_ends_dropped (CR/LF bytes ignored before the
//              first protocol byte), and for an upload the placement
//              (address, written) or why a load header was refused; for a
//              download the address and the command
//   version    from, to (texts as the console prints them)
//   reboot     command ("boot" or "reboot"), silent_ms
//   awake      discarded (byte text heard and thrown away while silent),
//              discarded_bytes (their count)
//   lost       direction ("to_unit" or "to_host"), bytes, host_baud,
//              unit_baud: bytes the line lost because the two ends had
//              different rates (as a UART loses them to framing errors)
//   fault      what ("power_cut", "cancel_upload", "cancel_download",
//              "short_download") and which command or transfer
//   stop       reason
// A byte text holds each byte as the character of the same code (bytes
// above 0x7F as U+0080..U+00FF), so it survives JSON unchanged.
// The file is flushed after every line, so a reader sees each event as soon
// as the unit has acted on it. Without a file name nothing is written.
// bytes as a byte text (see above).
std::string byteText(const std::string& bytes);

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
