// Kcnv: converts the kestrin calibration tables in "caltab.bin" into a
// one-set old_velmora image "output1.bin". Exit status 1 when the output
// was written, 0 otherwise; command-line arguments are not examined.
#include <cstdio>

#include "calimage/ConverterRun.h"
#include "calimage/StandardStreams.h"
#include "converters/kcnv/KestrinConversion.h"

int main()
{
    writeStandardStreamsAsBytes();
    ConverterPlan plan{
        "caltab.bin",
        "output1.bin",
        "kestrin",
        &kestrinSetLayout(),
        17,
        13,
        convertKestrinSet,
        [](ByteWriter& out, const CalRecord& header, const CalRecord& set, const Progress& progress) {
            writeOldVelmoraImage(out, header, set, progress);
        },
    };
    return runConverter(plan, [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    });
}
