// JSON-lines writer of the unit's transcript.
#include "sim/unit/Transcript.h"

Transcript::Transcript(Clock& clock) : clock(clock), startMs(clock.tickMs()) {}

bool Transcript::open(const std::string& path, bool append)
{
    out.open(path, std::ios::out | (append ? std::ios::app : std::ios::trunc));
    return out.is_open();
}

void Transcript::record(const std::string& event, nlohmann::json fields)
{
    ++events;
    if (!out.is_open())
        return;
    nlohmann::json line = nlohmann::json::object();
    line["ms"] = clock.tickMs() - startMs;
    line["event"] = event;
    for (auto& [key, value] : fields.items())
        line[key] = value;
    out << line.dump() << '\n';
    out.flush();
}
