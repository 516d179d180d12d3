// fwset: writes a demo firmware set for the virtual unit into a folder.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "sim/fwset/FirmwareSet.h"

#ifndef FWSET_TOOLS
#define FWSET_TOOLS ""
#endif

int main(int argc, char** argv)
{
    CLI::App app{"Writes a complete demo firmware set (control.upd, kernel and firmware images,\n"
                 "calibration-clearing images, the header tool and the two converters as\n"
                 "\"header\", \"Kcnv\" and \"Lcnv\", a placeholder SEARCH.AVI) into DIR."};
    FirmwareSetOptions options;
    std::string dir;
    bool noTools = false;
    std::vector<std::string> tools;
    app.add_option("DIR", dir, "Folder to write the set into")->required();
    app.add_option("--version", options.version, "Set version for models below 7410 (d.ddd)");
    app.add_option("--version-7410", options.version7410, "Set version for the 7410 (d.ddd)");
    app.add_option("--previous", options.previous,
                   "Downgrade target for models below 7410 (d.ddd)");
    app.add_option("--previous-7410", options.previous7410, "Downgrade target for the 7410 (d.ddd)");
    app.add_option("--tool", tools, "Copy this program into the set (instead of the built ones)");
    app.add_flag("--no-tools", noTools, "Copy no programs into the set");
    std::string kind = "ne";
    app.add_option("--serial", options.serial,
                   "Also write the backup images SN.bin (the unit's factory calibration region) "
                   "and SNc.bin (its cable database) for a downgrade of that unit");
    app.add_option("--kind", kind, "Kind of the --serial unit: ne or fe (default ne)")
        ->check(CLI::IsMember({"ne", "fe", "NE", "FE"}));
    app.add_option("--model", options.serialModel, "Model of the --serial unit (default 7355)")
        ->check(CLI::IsMember({7300, 7350, 7355, 7410}));
    app.add_option("--extra-files", options.extraFiles,
                   "Main lists get a NOTHING entry and N more small images (0..5)")
        ->check(CLI::Range(0, kMaxExtraFiles));
    bool noCalibration = false;
    app.add_flag("--no-calibration", noCalibration, "Write no calibration (CAL...) sections");
    app.add_option("--rev-blanks", options.revBlanks,
                   "Blanks before each version on the Rev line (0..4; 2 or more cut the version "
                   "as a unit reads it)")
        ->check(CLI::Range(0, 4));
    CLI11_PARSE(app, argc, argv);
    options.serialDisplay = kind == "ne" || kind == "NE";
    options.calibrationSections = !noCalibration;

    if (!noTools) {
        if (tools.empty()) {
            // The build's header tool and converters, separated by '|'.
            std::string list = FWSET_TOOLS;
            for (std::size_t at = 0; at < list.size();) {
                std::size_t end = list.find('|', at);
                if (end == std::string::npos)
                    end = list.size();
                if (end > at)
                    tools.push_back(list.substr(at, end - at));
                at = end + 1;
            }
        }
        options.tools = tools;
    }
    std::string error = writeFirmwareSet(dir, options);
    if (!error.empty()) {
        std::fprintf(stderr, "fwset: %s\n", error.c_str());
        return 1;
    }
    std::printf("fwset: firmware set %s (7410: %s) written into %s\n", options.version.c_str(),
                options.version7410.c_str(), dir.c_str());
    return 0;
}
