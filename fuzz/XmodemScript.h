// The far end of an XMODEM fuzz run: what the fuzzer's bytes make the peer
// put on the line, and when.
#pragma once

#include "fuzz/FuzzInput.h"
#include "testkit/FakePort.h"

namespace fuzz {

// Turns the rest of in into timed input of port: each step is one op byte
// (low 3 bits the kind, the rest a delay in 40 ms units after the previous
// step) and its operands. Kinds: raw bytes; a well-formed 128-byte frame
// with CRC or checksum; a 1024-byte frame; a frame with one byte changed;
// EOT; two CAN; a start or acknowledgement byte. Frame numbers follow on
// from the previous frame unless the operand asks for a repeat or a jump,
// so scripts reach the later blocks. Returns the bytes queued.
std::size_t queueFarEnd(testkit::FakePort& port, FuzzInput& in);

} // namespace fuzz
