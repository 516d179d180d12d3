// Helpers for the end-to-end transfer tests on the virtual line.
#include "tools/unitxfer/tests/XferHarness.h"

#include <algorithm>

std::vector<std::uint8_t> paddedLikeOurSender(const std::vector<std::uint8_t>& data, bool oneK)
{
    std::size_t total = 0;
    std::size_t remaining = data.size();
    while (remaining > 0) {
        std::size_t block = oneK && remaining > 896 ? 1024 : 128;
        total += block;
        remaining -= std::min(block, remaining);
    }
    std::vector<std::uint8_t> padded = data;
    padded.resize(total, 0x00);
    return padded;
}

PipePeer::Options unitxferCommand(std::vector<std::string> args, const std::string& outputPath,
                                  std::vector<std::string> env)
{
    PipePeer::Options o;
    o.argv.push_back(UNITXFER_PATH);
    o.argv.insert(o.argv.end(), args.begin(), args.end());
    o.stdoutPath = outputPath;
    o.stderrPath = outputPath + ".err";
    o.env = std::move(env);
    return o;
}

std::unique_ptr<VirtualLine> startLine(int latencyUs, int baud, int timeLimitMs,
                                       const DirectionOptions* aToB, const DirectionOptions* bToA)
{
    LineOptions o;
    if (aToB)
        o.aToB = *aToB;
    if (bToA)
        o.bToA = *bToA;
    for (DirectionOptions* d : {&o.aToB, &o.bToA}) {
        d->latencyUs = latencyUs;
        d->baud = baud;
    }
    o.timeLimitMs = timeLimitMs;
    auto line = std::make_unique<VirtualLine>(o);
    if (line->start() != 0)
        return nullptr;
    return line;
}
