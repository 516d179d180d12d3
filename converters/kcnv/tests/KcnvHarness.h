// Test helpers for Kcnv: input images, running the program, expected texts.
#pragma once

#include <string>
#include <vector>

#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "testkit/RecordFill.h"

namespace kcnvtest {

// A kestrin image whose every element holds pseudo-random bits.
inline KestrinImage randomKestrin(std::uint16_t currentSet)
{
    return testkit::randomImage(kestrinSetLayout(), currentSet);
}

inline std::vector<std::uint8_t> bytesOf(const KestrinImage& image)
{
    return testkit::imageBytes(image);
}

inline OldVelmoraImage parseOldVelmora(const std::vector<std::uint8_t>& bytes)
{
    return testkit::parseImage(bytes, oldVelmoraSetLayout());
}

inline KestrinImage parseKestrin(const std::vector<std::uint8_t>& bytes)
{
    return testkit::parseImage(bytes, kestrinSetLayout());
}

// Runs Kcnv with the main program's argument list in `dir`.
inline testkit::ChildResult runKcnv(const testkit::ScratchDir& dir, testkit::ChildLimits limits = {})
{
    return testkit::runProgram(KCNV_PATH, {"Kcnv.exe", " "}, dir.path(), limits);
}

// Standard output up to and including the conversion message.
inline std::string readingTexts(bool warning)
{
    return "\nSucking in Calibration Tables." + testkit::setTexts(17) + testkit::setTexts(17) +
           "\n\n Calibration tables for kestrin complete. \n" +
           (warning ? "\n\n\n WARNING Set 1 is current set!!! " : "") +
           "\n\nFACTORY CAL TABLES CONVERTED SUCCESSFULLY!!!\n";
}

inline const std::string kWriteTexts = testkit::setTexts(13) + "\n\n Calibration tables output complete. \n";
inline const std::string kErrorText = "\nError #99: unable to read in kestrin calibration tables. \n";

} // namespace kcnvtest
