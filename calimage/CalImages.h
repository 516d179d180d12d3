// Whole calibration images: reading kestrin and old_velmora images, writing
// a one-set old_velmora image and the velmora load image, and the load header.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "calimage/BigEndian.h"
#include "calimage/CalLayouts.h"
#include "calimage/CalRecord.h"

// Receives progress and message texts; the program decides where they go.
using TextSink = std::function<void(std::string_view)>;

// Progress texts while a set is read or written: "\nLF cal set." and lfDots
// dots spread over the LF part, then "\nRF cal set." and rfDots dots spread
// over the RF part. An empty sink makes the operation silent.
struct Progress {
    TextSink print;
    int lfDots = 7;
    int rfDots = 13;
};

// A FactorycalHeader and two calibration sets of one layout. The kestrin and
// old_velmora images differ only in the layout of their sets.
struct CalImage {
    explicit CalImage(const Layout& setLayout)
        : header(factorycalHeaderLayout()), sets{CalRecord(setLayout), CalRecord(setLayout)}
    {
    }
    CalRecord header;
    std::array<CalRecord, 2> sets;
};
using KestrinImage = CalImage;
using OldVelmoraImage = CalImage;

// Start address + kVelmoraLoadSpan is the end address written into the load
// header of "output2.bin": 12 more than the 13144 image bytes that follow it,
// as the unit's loader expects.
inline constexpr std::uint32_t kVelmoraLoadSpan = 13156;
// "output2.bin" load addresses for the Display Handset and the others.
inline constexpr std::uint32_t kVelmoraStartNe = 0x90000;
inline constexpr std::uint32_t kVelmoraStartFe = 0x60000;

// Read the header, then set 0 and set 1, every field in table order, in one
// forward pass. Bytes missing at the end of the stream read as 0xFF; nothing
// is checked. Prints "." after the header and each set's progress texts.
CalImage readCalImage(ByteReader& in, const Layout& setLayout, const Progress& progress);
KestrinImage readKestrinImage(ByteReader& in, const Progress& progress);
OldVelmoraImage readOldVelmoraImage(ByteReader& in, const Progress& progress);

// 0 when the header's current_set is 0, else 1.
std::size_t currentSetIndex(const CalRecord& factorycalHeader);

// One set with its progress texts (see Progress).
void readSet(ByteReader& in, CalRecord& set, const Progress& progress);
void writeSet(ByteWriter& out, const CalRecord& set, const Progress& progress);

// A one-set old_velmora image: FactorycalHeader with checksum = calSum(set),
// contents and timestamp from `source` (a FactorycalHeader), current_set 0;
// then the set.
void writeOldVelmoraImage(ByteWriter& out, const CalRecord& source, const CalRecord& set,
                          const Progress& progress);

// The 32-byte LoadHeader: "ESTF", "BINR", start, end, 0xFF000000, 0, start, end.
void writeLoadHeader(ByteWriter& out, std::uint32_t start, std::uint32_t end);

// A load image of a memory region: the LoadHeader for [start, end), then
// end - start bytes from `source`, whose first byte belongs at address
// start; bytes the source lacks are 0xFF (erased flash). Requires start <= end.
void writeRegionLoadImage(ByteWriter& out, ByteReader& source, std::uint32_t start, std::uint32_t end);

// "output2.bin": LoadHeader for `start` (end = start + kVelmoraLoadSpan),
// the 10-byte header with checksum = calSum(set) and contents and timestamp
// from `source` (a FactorycalHeader), then the velmora set. The "\nLF cal
// set." text comes before the 10-byte header.
void writeVelmoraLoadImage(ByteWriter& out, std::uint32_t start, const CalRecord& source,
                           const CalRecord& set, const Progress& progress);

// A two-set image exactly as held: header as given (its checksum is not
// recomputed), set 0, set 1. For building test and simulator images.
void writeCalImage(ByteWriter& out, const CalImage& image);
