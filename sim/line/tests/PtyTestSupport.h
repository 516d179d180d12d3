// Small helpers for tests that drive real pseudo-terminals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens a device read-write, non-blocking, raw 8N1 at baud (0 keeps the
// speed). -1 on failure.
int openRawDevice(const std::string& path, int baud = 0);
// Writes all of data, waiting for room; false on an error.
bool writeAllTo(int fd, const std::vector<std::uint8_t>& data);
// Reads until n bytes have come or timeoutMs have passed; what came.
std::vector<std::uint8_t> readUpTo(int fd, std::size_t n, int timeoutMs);
// Waits up to timeoutMs for fd to report a hang-up.
bool waitHangUp(int fd, int timeoutMs);
// Seconds of the monotonic clock.
double nowSeconds();
