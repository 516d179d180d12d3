// Lcnv: converts the current set of the old_velmora image "output1.bin" into
// the velmora layout and writes it behind a load header as "output2.bin".
// The first argument chooses the load address: exactly "NE" gives 90000,
// anything else 60000. Exit status 1 when the output was written, else 0.
#include <cstdio>
#include <cstring>

#include "calimage/ConverterRun.h"
#include "calimage/StandardStreams.h"
#include "converters/lcnv/VelmoraConversion.h"

int main(int argc, char** argv)
{
    writeStandardStreamsAsBytes();
    if (argc < 2 || argv[1] == nullptr) {
        std::fputs("usage: Lcnv NE|FE  (output1.bin to output2.bin; NE loads at 90000, any other word at 60000)\n",
                   stderr);
        return 0;
    }
    std::printf("\n%d %s\n", argc, argv[1]);
    const std::uint32_t start = std::strcmp(argv[1], "NE") == 0 ? kVelmoraStartNe : kVelmoraStartFe;

    ConverterPlan plan{
        "output1.bin",
        "output2.bin",
        "old_velmora",
        &oldVelmoraSetLayout(),
        13,
        9,
        convertOldVelmoraSet,
        [start](ByteWriter& out, const CalRecord& header, const CalRecord& set, const Progress& progress) {
            writeVelmoraLoadImage(out, start, header, set, progress);
        },
    };
    return runConverter(plan, [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    });
}
