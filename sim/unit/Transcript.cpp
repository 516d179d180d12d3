// JSON-lines writer of the unit's transcript.
#include "sim/unit/Transcript.h"

std::string byteText(const std::string& bytes)
{
    std::string text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0 | (b >> 6)));
            text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return text;
}

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
