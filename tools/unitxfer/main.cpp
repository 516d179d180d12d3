// unitxfer: sends or receives one file over a serial port with XMODEM.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>

#include "tools/unitxfer/ProgressStatus.h"
#include "tools/unitxfer/ResultText.h"
#include "tools/unitxfer/Terminal.h"
#include "tools/unitxfer/XferRun.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

extern "C" void onInterrupt(int)
{
    xferInterruptRequested = true;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Sends or receives one file over a serial port with XMODEM "
                 "(CRC-16, falling back to the checksum)."};
    app.require_subcommand(1);
    XferRequest request;
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "Show every message of the transfer engine");

    CLI::App* send = app.add_subcommand("send", "Send FILE to the other side");
    send->add_flag("--1k", request.oneK, "Use 1024-byte blocks while more than 896 bytes remain");
    CLI::App* receive = app.add_subcommand("receive", "Receive into FILE (whole 128-byte blocks)");
    for (CLI::App* sub : {send, receive}) {
        sub->add_option("--baud", request.baud, "Line speed (default 57600)")
            ->check(CLI::Range(50, 4000000));
        sub->add_option("PORT", request.port, "\"Comm N\" or a device path")->required();
        sub->add_option("FILE", request.file, "The file")->required();
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    request.send = send->parsed();

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const bool inPlace = standardErrorIsTerminal();
    std::string stage;
    int result = runXfer(request, [&](Clock& clock) {
        return std::make_unique<ProgressStatus>(stderr, clock, inPlace, verbose);
    }, stage);

    if (result == 0)
        std::printf("unitxfer: %s: result 0: %s\n", stage.c_str(), resultMeaning(0));
    else
        std::printf("unitxfer: %s: result %d: %s\n", stage.c_str(), result, resultMeaning(result));
    return result == 0 ? kExitOk : kExitFailed;
}
