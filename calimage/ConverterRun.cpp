// The run shared by the two calibration converters.
#include "calimage/ConverterRun.h"

#include <fstream>
#include <vector>

#include "calimage/FileReplacer.h"

int runConverter(const ConverterPlan& plan, const TextSink& sink)
{
    const TextSink print = [&sink](std::string_view text) {
        if (sink) {
            sink(text);
        }
    };
    std::ifstream in(plan.inputName, std::ios::binary);
    if (!in.is_open()) {
        return 0;
    }
    print("\nSucking in Calibration Tables");
    ByteReader reader(in);
    const CalImage image =
        readCalImage(reader, *plan.inputSetLayout, Progress{print, 7, plan.rfReadDots});
    print("\n\n Calibration tables for " + plan.tablesName + " complete. \n");

    const std::size_t current = currentSetIndex(image.header);
    if (current != 0) {
        print("\n\n\n WARNING Set 1 is current set!!! ");
    }
    const CalRecord converted = plan.convert(image.sets[current]);
    print("\n\nFACTORY CAL TABLES CONVERTED SUCCESSFULLY!!!\n");
    in.close();

    const std::string error =
        "\nError #99: unable to read in " + plan.tablesName + " calibration tables. \n";
    FileReplacer file(plan.outputName);
    if (!file.create()) {
        print(error);
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    ByteWriter writer(bytes);
    plan.write(writer, image.header, converted, Progress{print, 7, plan.rfWriteDots});
    if (!file.write(bytes) || !file.commit()) {
        print(error);
        return 0;
    }
    print("\n\n Calibration tables output complete. \n");
    return 1;
}
