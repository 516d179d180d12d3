// What the unit's loader makes of a received file: where a load-header
// image goes in flash, and the firmware version tag it may carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The text that marks a firmware version inside a kernel or firmware image,
// followed by the version digits: "FWVER=1.312".
constexpr const char* kVersionTag = "FWVER=";

constexpr std::size_t kLoadHeaderSize = 32;

struct UploadPlacement {
    enum Kind {
        Plain,          // no load header: nothing is written to flash
        Placed,         // header accepted: count bytes from dataOffset go to start
        Refused,        // header present but unusable: nothing is written
    };
    Kind kind = Plain;
    std::uint32_t start = 0;      // load address from the header
    std::uint32_t end = 0;        // end address from the header
    std::uint32_t count = 0;      // bytes written to flash
    std::string reason;           // why a header was refused
};

// Inspects a received file. A file that starts with "ESTF" "BINR" carries a
// 32-byte load header: start address (offset 8), end address (12), two more
// words, then the start and end again (24, 28). The loader writes at most
// end - start bytes of what follows the header, and never more than the file
// holds, so XMODEM padding past the declared end is not written and a short
// file does not write stale bytes. A header whose two address pairs differ,
// whose end lies before its start, or whose range leaves the flash is
// refused.
UploadPlacement placeUpload(const std::vector<std::uint8_t>& file);

// The version a received file announces with kVersionTag, or 0 when it has
// no tag (or the tag is not followed by a positive number).
double findVersionTag(const std::vector<std::uint8_t>& file);
