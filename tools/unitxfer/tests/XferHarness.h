// Runs unitxfer and lrzsz's sx/rx on the two ends of a virtual line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/line/PipePeer.h"
#include "sim/line/VirtualLine.h"

// What a file sent by our engine looks like after a receiver that keeps
// whole blocks: the data, padded with 0x00 to the blocks the sender's
// block-size rule chose.
std::vector<std::uint8_t> paddedLikeOurSender(const std::vector<std::uint8_t>& data, bool oneK);

// One unitxfer run: the command line after the program name, where its
// standard output goes, and extra environment entries.
PipePeer::Options unitxferCommand(std::vector<std::string> args, const std::string& outputPath,
                                  std::vector<std::string> env = {});

// A line whose both directions have the given latency and pacing, ending
// after timeLimitMs at the latest.
std::unique_ptr<VirtualLine> startLine(int latencyUs, int baud, int timeLimitMs,
                                       const DirectionOptions* aToB = nullptr,
                                       const DirectionOptions* bToA = nullptr);
