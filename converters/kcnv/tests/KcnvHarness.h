// Test helpers for Kcnv: input images, running the program, expected texts.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "CalImages.h"
#include "ChildRun.h"
#include "RecordFill.h"

namespace kcnvtest {

// A kestrin image whose every element holds pseudo-random bits, different in
// the header and in each set.
inline KestrinImage randomKestrin(std::uint16_t currentSet)
{
    KestrinImage image(kestrinSetLayout());
    fillRandom(image.header, 101);
    fillRandom(image.sets[0], 202);
    fillRandom(image.sets[1], 303);
    image.header.setBits(factorycalField("current_set"), 0, currentSet);
    return image;
}

inline std::vector<std::uint8_t> bytesOf(const KestrinImage& image)
{
    std::vector<std::uint8_t> out;
    ByteWriter writer(out);
    writeCalImage(writer, image);
    return out;
}

inline OldVelmoraImage parseOldVelmora(const std::vector<std::uint8_t>& bytes)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
    ByteReader reader(in);
    return readOldVelmoraImage(reader, {});
}

inline KestrinImage parseKestrin(const std::vector<std::uint8_t>& bytes)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
    ByteReader reader(in);
    return readKestrinImage(reader, {});
}

// Runs Kcnv with the main program's argument list in `dir`.
inline ChildResult runKcnv(const ScratchDir& dir, ChildLimits limits = {})
{
    return runProgram(KCNV_PATH, {"Kcnv.exe", " "}, dir.path(), limits);
}

inline std::string setTexts(int rfDots)
{
    return "\nLF cal set." + std::string(7, '.') + "\nRF cal set." + std::string(static_cast<std::size_t>(rfDots), '.');
}

// Standard output up to and including the conversion message.
inline std::string readingTexts(bool warning)
{
    return "\nSucking in Calibration Tables." + setTexts(17) + setTexts(17) +
           "\n\n Calibration tables for kestrin complete. \n" +
           (warning ? "\n\n\n WARNING Set 1 is current set!!! " : "") +
           "\n\nFACTORY CAL TABLES CONVERTED SUCCESSFULLY!!!\n";
}

inline const std::string kWriteTexts = setTexts(13) + "\n\n Calibration tables output complete. \n";
inline const std::string kErrorText = "\nError #99: unable to read in kestrin calibration tables. \n";

} // namespace kcnvtest
