// A unit on its own pseudo-terminal with its own firmware set, and the
// unitflash-cli runs against it, for the CLI's pty tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process/ChildProcess.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"
#include "testkit/ScratchDir.h"

// One unit on its own line, with its own firmware set or a set it shares
// with other stations.
struct Station {
    Station(const testkit::ScratchDir& dir, const std::string& name, const std::vector<std::string>& unitOptions,
            const std::string& sharedSet = {})
        : root(dir / name), set(sharedSet.empty() ? root + "/Firmware 1.312" : sharedSet), state(root + "/state"),
          history(dir / "history.sqlite3")
    {
        std::filesystem::create_directories(root);
        if (!std::filesystem::exists(set + "/control.upd")) {
            EXPECT_EQ(testkit::runProgram(FWSET_PATH, {"fwset", set}, root).exitStatus, 0);
        }
        if (const auto at = std::find(unitOptions.begin(), unitOptions.end(), "--serial"); at != unitOptions.end())
            serial = *(at + 1);
        std::vector<std::string> options{"--no-pacing", "--state", state};
        options.insert(options.end(), unitOptions.begin(), unitOptions.end());
        unit = std::make_unique<UnitsimProcess>(root, options);
        EXPECT_TRUE(unit->started()) << unit->output();
    }

    // Starts the CLI on this unit (with extra arguments); its output goes
    // to root/cli.out.
    void startCli(const std::vector<std::string>& extra = {})
    {
        cli.redirectToFile(ChildProcess::StdOut, root + "/cli.out");
        cli.mergeErrorIntoOutput();
        cli.addEnvironment({"UNITFLASH_HISTORY=" + history});
        std::vector<std::string> args{"unitflash-cli", "--port", unit->linkPath(), "--workdir", set, "--yes",
                                      "--pause-scale", "0.05", "--open-delay-ms", "0", "--trace", root + "/trace.txt"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(cli.start(UNITFLASH_CLI_PATH, args));
    }

    int waitCli(int timeoutMs)
    {
        if (!cli.wait(timeoutMs))
            cli.kill();
        return cli.exitStatus();
    }

    std::string cliOutput() const { return testkit::readText(root + "/cli.out"); }

    // Waits up to timeoutMs until the CLI's output holds text count times.
    bool waitForOutput(const std::string& text, std::size_t count, int timeoutMs) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            const std::string out = cliOutput();
            std::size_t found = 0;
            for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
                ++found;
            if (found >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    // One whole CLI run on this unit with extra arguments and what a person
    // types: its exit status and everything it printed.
    std::pair<int, std::string> runCli(const std::vector<std::string>& extra, const std::string& typed = "")
    {
        testkit::writeBytes(root + "/typed.txt", std::vector<std::uint8_t>(typed.begin(), typed.end()));
        std::vector<std::string> args{"unitflash-cli", "--pause-scale", "0.05", "--open-delay-ms", "0"};
        for (const char* option : {"--port", "--workdir"})
            if (std::find(extra.begin(), extra.end(), option) == extra.end())
                args.insert(args.end(), {option, option == std::string("--port") ? unit->linkPath() : set});
        args.insert(args.end(), extra.begin(), extra.end());
        ChildProcess run;
        run.redirectToFile(ChildProcess::StdIn, root + "/typed.txt");
        run.redirectToFile(ChildProcess::StdOut, root + "/run.out");
        run.mergeErrorIntoOutput();
        run.addEnvironment({"UNITFLASH_HISTORY=" + history});
        EXPECT_TRUE(run.start(UNITFLASH_CLI_PATH, args));
        if (!run.wait(120000))
            run.kill();
        return {run.exitStatus(), testkit::readText(root + "/run.out")};
    }

    // One --json run of a command: its status, its standard output as JSON
    // objects, and its standard error.
    struct JsonRun {
        int status = -1;
        std::vector<nlohmann::json> events;
        std::string messages;
    };
    JsonRun runJson(const std::string& command, const std::vector<std::string>& extra)
    {
        std::vector<std::string> args{"unitflash-cli", command, "--json", "--workdir", set};
        if (command != "check")
            args.insert(args.end(), {"--port", unit->linkPath(), "--pause-scale", "0.05", "--open-delay-ms", "0"});
        args.insert(args.end(), extra.begin(), extra.end());
        ChildProcess run;
        run.redirectToFile(ChildProcess::StdOut, root + "/json.out");
        run.redirectToFile(ChildProcess::StdErr, root + "/json.err");
        EXPECT_TRUE(run.start(UNITFLASH_CLI_PATH, args));
        if (!run.wait(120000))
            run.kill();
        JsonRun result{run.exitStatus(), {}, testkit::readText(root + "/json.err")};
        std::istringstream lines(testkit::readText(root + "/json.out"));
        for (std::string line; std::getline(lines, line);)
            result.events.push_back(nlohmann::json::parse(line));  // a line that is not JSON fails the test
        return result;
    }

    // True when the unit was asked for an upload or a download.
    bool unitWasWritten() const
    {
        for (const nlohmann::json& e : unit->events())
            if (e["event"] == "command" && (e.value("text", "") == "btx" || e.value("text", "").starts_with("xmodem")))
                return true;
        return false;
    }

    // A file the converters wrote for the last unit upgraded.
    std::string converterOutput(const std::string& name) const { return set + "/units/" + serial + "/" + name; }

    // After the unit has stopped: are the converted tables in its flash?
    void expectConvertedTables()
    {
        UnitState dumped;
        std::string error;
        ASSERT_TRUE(loadState(state, dumped, error)) << error;
        const std::vector<std::uint8_t> output2 = testkit::readBytes(converterOutput("output2.bin"));
        ASSERT_GT(output2.size(), 32u);
        std::vector<std::uint8_t> flash;
        dumped.flash.read(testkit::be32(output2, 8), static_cast<std::uint32_t>(output2.size() - 32), flash);
        EXPECT_TRUE(std::equal(output2.begin() + 32, output2.end(), flash.begin())) << root;
        finalVersion = dumped.identity.version;
    }

    std::string root;
    std::string serial = "A01234567";  // the unit's, naming its working folder
    std::string set;
    std::string state;
    std::string history;  // the upgrade history, shared by the test's stations
    std::unique_ptr<UnitsimProcess> unit;
    ChildProcess cli;
    double finalVersion = 0;
};
