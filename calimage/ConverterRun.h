// The run shared by the two calibration converters: read a two-set image,
// select its current set, convert it, and write the output file whole.
#pragma once

#include <functional>
#include <string>

#include "calimage/CalImages.h"

// What distinguishes one converter from the other.
struct ConverterPlan {
    std::string inputName;         // "caltab.bin"
    std::string outputName;        // "output1.bin"
    std::string tablesName;        // "kestrin": names the tables in messages
    const Layout* inputSetLayout;  // layout of each input set
    int rfReadDots;                // dots while an input RF part is read
    int rfWriteDots;               // dots while the output RF part is written
    // Builds the output set from the selected input set.
    std::function<CalRecord(const CalRecord& set)> convert;
    // Serialises the whole output file from the input header and the new set.
    std::function<void(ByteWriter& out, const CalRecord& inputHeader, const CalRecord& set,
                       const Progress& progress)>
        write;
};

// Runs the converter in the current directory, handing every message to
// `print` (an empty sink drops them). Returns the process exit status: 1
// when the output file was written whole, 0 otherwise. An input that cannot
// be opened ends the run silently; a short input reads as 0xFF bytes. The
// output is replaced only after all of it was written and closed, so a
// failed run leaves any previous output as it was.
int runConverter(const ConverterPlan& plan, const TextSink& print);
