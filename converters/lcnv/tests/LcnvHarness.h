// Test helpers for Lcnv: running the program and its expected texts.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "testkit/RecordFill.h"

namespace lcnvtest {

// Runs Lcnv in `dir` the way the main program does: the argument also
// stands in the program-name position.
inline testkit::ChildResult runLcnv(const testkit::ScratchDir& dir, const std::string& arg, testkit::ChildLimits limits = {})
{
    return testkit::runProgram(LCNV_PATH, {arg, arg}, dir.path(), limits);
}

// Standard output up to and including the conversion message.
inline std::string readingTexts(const std::string& arg, bool warning)
{
    return "\n2 " + arg + "\n" + "\nSucking in Calibration Tables." + testkit::setTexts(13) + testkit::setTexts(13) +
           "\n\n Calibration tables for old_velmora complete. \n" +
           (warning ? "\n\n\n WARNING Set 1 is current set!!! " : "") +
           "\n\nFACTORY CAL TABLES CONVERTED SUCCESSFULLY!!!\n";
}

inline const std::string kWriteTexts = testkit::setTexts(9) + "\n\n Calibration tables output complete. \n";
inline const std::string kErrorText = "\nError #99: unable to read in old_velmora calibration tables. \n";

// The velmora set of an "output2.bin".
inline CalRecord parseVelmoraSet(const std::vector<std::uint8_t>& bytes)
{
    const std::vector<std::uint8_t> set(bytes.begin() + 42, bytes.end());
    std::istringstream in(std::string(set.begin(), set.end()), std::ios::binary);
    ByteReader reader(in);
    CalRecord rec(velmoraSetLayout());
    readRecord(reader, rec);
    return rec;
}

} // namespace lcnvtest
