// Speed-mismatch losses of the virtual line as transcript events.
#include "sim/unit/LineLossWatch.h"

#include "sim/unit/Transcript.h"
#include "sim/line/VirtualLine.h"

LineLossWatch::LineLossWatch(const VirtualLine& line, int hostEnd, Transcript& transcript)
    : line(line), hostEnd(hostEnd), transcript(transcript)
{
}

void LineLossWatch::poll()
{
    const int unitEnd = 1 - hostEnd;
    // Bytes written at the host's end travel in the direction named after it.
    const int toUnit = hostEnd == END_A ? A_TO_B : B_TO_A;
    for (int direction : {A_TO_B, B_TO_A}) {
        const std::uint64_t lost = line.stats(direction).speedLost;
        if (lost == seen[direction])
            continue;
        transcript.record("lost", {{"direction", direction == toUnit ? "to_unit" : "to_host"},
                                   {"bytes", lost - seen[direction]},
                                   {"host_baud", line.speed(hostEnd)},
                                   {"unit_baud", line.speed(unitEnd)}});
        seen[direction] = lost;
    }
}
