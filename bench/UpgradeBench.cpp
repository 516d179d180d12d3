// upgrade_bench: a full calibration-crossing reinstall of a virtual unit on a
// paced pseudo-terminal, in real time, with where its time went.
// (With --units it instead runs many units at once: bench/UnitsBench.cpp.)
//
// How the time is accounted. The run is timed from the start of the
// identification (which waits its open delay first) to the return of the
// upgrade, on the real clock. Three parts of it no faster host can shorten:
//   wire   the bytes the host wrote and read (and purged unread) through the
//          port, at 10 bits a byte at the unit's rate. The two directions
//          are added: console commands, transfer blocks and their answers
//          take turns on the line, so they rarely run at once.
//   pauses the fixed console pauses the engine took (EngineStats::pauseMs)
//          plus the wait before the port is opened.
//   reads  the console reads (EngineStats::replyWaitMs); each waits out its
//          500 ms unless the reply fills its limit.
// The overhead is what is left: transfer waits beyond the bytes (start
// requests, quiet-line drains, retries), child programs, file work and the
// host's own processing. The parts overlap a little: a reply or a restart
// banner that arrives while the host pauses or reads is counted both as wire
// and as pause or read time. That can only make the overhead look smaller,
// by at most the wire time of the console traffic (a few kilobytes, well
// under a second).
//
// The processor time is the benchmark process's own (all threads, user plus
// system) over the same span; the converters the engine starts are children
// and shown apart. unitsim and fwset are not counted.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/unit/UnitState.h"
#include "comlink/PortFactory.h"
#include "engine/EngineEnv.h"
#include "comlink/ForwardingPort.h"
#include "engine/UpgradeState.h"
#include "engine/Workers.h"
#include "process/ChildProcess.h"
#include "bench/UnitsBench.h"

namespace fs = std::filesystem;

namespace {

// Bytes that went through the host's port.
struct ByteCounts {
    long long written = 0;
    long long read = 0;
    long long purged = 0;  // input thrown away unread: it crossed the wire too
    long long total() const { return written + read + purged; }
};

// The port the engine opens, counting what passes through it. Every write
// and read slot is watched, since the inner port's own writeString and
// writeChar do not come back through this object.
class CountingPort : public ForwardingPort {
public:
    CountingPort(std::unique_ptr<CommPort> port_, ByteCounts& counts_) : port(std::move(port_)), counts(counts_)
    {
        portIndex = port->portIndex;
        lastError = port->lastError;
    }

    int writeChar(int ch) override
    {
        const int r = ForwardingPort::writeChar(ch);
        counts.written += r == 0 ? 1 : 0;
        return r;
    }
    int writeString(const char* text) override
    {
        // The count written, as the inner port gives it.
        const int r = ForwardingPort::writeString(text);
        counts.written += r > 0 ? r : 0;
        return r;
    }
    int write(const std::uint8_t* bytes, unsigned len) override
    {
        const int r = ForwardingPort::write(bytes, len);
        counts.written += r > 0 ? r : 0;
        return r;
    }
    int sendPriorityChar(int ch) override
    {
        const int r = ForwardingPort::sendPriorityChar(ch);
        counts.written += r == 0 ? 1 : 0;
        return r;
    }
    int readChar() override
    {
        const int r = ForwardingPort::readChar();
        counts.read += r >= 0 ? 1 : 0;
        return r;
    }
    int read(std::uint8_t* bytes, unsigned len) override
    {
        const int r = ForwardingPort::read(bytes, len);
        counts.read += r > 0 ? r : 0;
        return r;
    }
    int purge(int which, int n) override
    {
        if (which != 0)
            return ForwardingPort::purge(which, n);
        // An input purge drains inside the inner port: count what left its queue.
        QueueStatus before, after;
        const bool known = port->queueStatus(before, 0) == 0;
        const int r = ForwardingPort::purge(which, n);
        if (known && port->queueStatus(after, 0) == 0 && before.rxCount > after.rxCount)
            counts.purged += before.rxCount - after.rxCount;
        return r;
    }

protected:
    CommPort* inner() override { return port.get(); }

private:
    std::unique_ptr<CommPort> port;
    ByteCounts& counts;
};

struct Options {
    std::string baud = "both";
    std::string kind = "ne";
    int model = 7355;
    int bootMs = -1;  // unitsim's default when negative
    bool keep = false;  // keep the scratch folder (set, transcript, unit state)
};

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string makeScratchDir()
{
    std::string pattern = (fs::temp_directory_path() / "upgrade-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return ::mkdtemp(buffer.data()) != nullptr ? std::string(buffer.data()) : std::string();
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<nlohmann::json> transcriptEvents(const std::string& path)
{
    std::vector<nlohmann::json> events;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
        if (e.is_object())
            events.push_back(std::move(e));
    }
    return events;
}

int countEvents(const std::vector<nlohmann::json>& events, const std::string& name, const std::string& key,
                const std::string& value)
{
    int n = 0;
    for (const nlohmann::json& e : events)
        if (e.value("event", "") == name && (key.empty() || e.value(key, "") == value))
            ++n;
    return n;
}

// unitsim as a child process with a link to its host end in dir.
class Unit {
public:
    Unit(const std::string& dir, const Options& o, int baud) : link(dir + "/unit"), out(dir + "/unitsim.out")
    {
        std::vector<std::string> args = {"unitsim", "--link", link, "--kind", o.kind,
                                         "--model", std::to_string(o.model), "--baud", std::to_string(baud),
                                         "--transcript", dir + "/transcript.jsonl", "--state", dir + "/state",
                                         "--idle-limit", "300"};
        if (o.bootMs >= 0)
            args.insert(args.end(), {"--boot-ms", std::to_string(o.bootMs)});
        child.redirectToFile(ChildProcess::StdOut, out);
        child.mergeErrorIntoOutput();
        if (!child.start(UNITSIM_PATH, args))
            return;
        for (int i = 0; i < 1000 && !child.wait(0); ++i) {
            struct stat st;
            if (::lstat(link.c_str(), &st) == 0 && fileText(out).find("device: ") != std::string::npos) {
                ready = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Unit() { stop(); }

    // Asks the unit to end (it dumps its state) and waits for it.
    void stop()
    {
        if (!child.running())
            return;
        ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
        if (!child.wait(10000))
            child.kill();
    }

    const std::string link;
    const std::string out;
    bool ready = false;

private:
    ChildProcess child;
};

bool writeFirmwareSet(const std::string& dir)
{
    ChildProcess fwset;
    fwset.redirectToFile(ChildProcess::StdOut, dir + "/fwset.out");
    fwset.mergeErrorIntoOutput();
    return fwset.start(FWSET_PATH, {"fwset", dir + "/set"}) && fwset.wait(60000) && fwset.exitStatus() == 0;
}

// One upgrade at one rate. True when the unit ended up upgraded.
bool benchOneRate(int baud, const Options& o)
{
    std::printf("\n== %s %d at %d baud, reinstall, real pauses, paced line ==\n", o.kind == "fe" ? "FE" : "NE",
                o.model, baud);
    const std::string dir = makeScratchDir();
    if (dir.empty() || !writeFirmwareSet(dir)) {
        std::printf("cannot write the firmware set in %s\n", dir.c_str());
        return false;
    }
    bool ok = false;
    {
        Unit unit(dir, o, baud);
        if (!unit.ready) {
            std::printf("unitsim did not start:\n%s\n", fileText(unit.out).c_str());
            return false;
        }
        ByteCounts counts;
        EngineStats stats;
        UpgradeState state;
        EngineEnv env;
        env.workDir = dir + "/set";
        env.stats = &stats;
        env.openPort = [&](int, int rx, int tx) {
            return std::make_unique<CountingPort>(openCommPort(unit.link, rx, tx), counts);
        };

        const double cpu0 = cpuSeconds(RUSAGE_SELF);
        const double children0 = cpuSeconds(RUSAGE_CHILDREN);
        const auto t0 = std::chrono::steady_clock::now();
        const IdentifyOutcome found = runIdentification(state, env);
        UpgradeOutcome outcome = UpgradeOutcome::Failed;
        if (found == IdentifyOutcome::Identified && !state.errorFlag) {
            std::printf("identified: model %d, serial %s, version %.3f, set %.3f, %d baud\n", state.model.load(),
                        state.serialNumber().c_str(), state.unitVersion.load(), state.controlVersion.load(),
                        state.baudRate.load());
            std::fflush(stdout);
            state.mode = MODE_REINSTALL;
            outcome = runUpgrade(state, env);
        }
        const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
        const double childrenCpu = cpuSeconds(RUSAGE_CHILDREN) - children0;

        // Let the unit hear the last "reboot" (and come back) before it is
        // stopped; not part of the timed run.
        std::this_thread::sleep_for(std::chrono::milliseconds(4000));
        unit.stop();

        const double wire = static_cast<double>(counts.total()) * 10.0 / baud;
        const double pauses = (stats.pauseMs.load() + env.openDelayMs) / 1e3;
        const double reads = stats.replyWaitMs.load() / 1e3;
        const double fixed = wire + pauses + reads;
        const double overhead = total - fixed;
        std::printf("bytes: %lld written, %lld read, %lld purged unread (%.1f KiB to the unit, %.1f KiB from it)\n",
                    counts.written, counts.read, counts.purged, counts.written / 1024.0,
                    (counts.read + counts.purged) / 1024.0);
        std::printf("total elapsed       %8.2f s\n", total);
        std::printf("  wire              %8.2f s  (bytes x 10 / %d)\n", wire, baud);
        std::printf("  fixed pauses      %8.2f s  (console %.2f s + open delay %.2f s)\n", pauses,
                    stats.pauseMs.load() / 1e3, env.openDelayMs / 1e3);
        std::printf("  console reads     %8.2f s  (each waits out its 500 ms unless its reply fills it)\n", reads);
        std::printf("  overhead          %8.2f s  = %.2f %% of wire + pauses + reads (goal < 5 %%)\n", overhead,
                    100.0 * overhead / fixed);
        std::printf("host CPU            %8.2f s  = %.2f %% of elapsed (goal < 2 %%); converters %.2f s\n", cpu,
                    100.0 * cpu / total, childrenCpu);

        UnitState dumped;
        std::string error;
        const bool loaded = loadState(dir + "/state", dumped, error);
        const std::vector<nlohmann::json> events = transcriptEvents(dir + "/transcript.jsonl");
        std::printf("unit: %d uploads, %d downloads, %d of 2 closing \"reboot\" carried out; version %s\n",
                    countEvents(events, "transfer", "direction", "upload"),
                    countEvents(events, "transfer", "direction", "download"),
                    countEvents(events, "reboot", "command", "reboot"),
                    loaded ? dumped.identity.versionText().c_str() : ("unknown: " + error).c_str());
        ok = outcome == UpgradeOutcome::Done;
        std::printf("outcome: %s, final version read by the engine %.3f\n",
                    ok ? "Done" : outcome == UpgradeOutcome::Stopped ? "Stopped" : "FAILED",
                    state.finalVersion.load());
    }
    std::error_code ignored;
    if (ok && !o.keep)
        fs::remove_all(dir, ignored);
    else
        std::printf("scratch kept in %s\n", dir.c_str());
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"A full calibration-crossing reinstall of a paced virtual unit, in real time:\n"
                 "total time, wire time, fixed pauses, console reads, overhead and host CPU."};
    Options o;
    app.add_option("--baud", o.baud, "38400, 57600 or both")->check(CLI::IsMember({"38400", "57600", "both"}));
    app.add_option("--kind", o.kind, "Unit kind: ne or fe")->check(CLI::IsMember({"ne", "fe"}));
    app.add_option("--model", o.model, "Unit model")->check(CLI::IsMember({7300, 7350, 7355, 7410}));
    app.add_option("--boot-ms", o.bootMs, "The unit's silence after a restart (unitsim's default when absent)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--keep", o.keep, "Keep the scratch folder of each run (it is kept anyway after a failure)");
    std::vector<int> units;
    CLI::Option* unitsOption =
        app.add_option("--units", units,
                       "Instead: LIST units at once (default 1,2,4), each paced at 38400 baud and upgraded by its own "
                       "unitflash-cli from one shared set; a lone unit is always measured first")
            ->delimiter(',')
            ->expected(0, 64)
            ->check(CLI::Range(1, 64));
    CLI11_PARSE(app, argc, argv);

    if (unitsOption->count() > 0) {
        std::erase_if(units, [](int n) { return n < 1; });  // a bare --units reads as one 0
        UnitsBenchRequest request;
        request.counts = units.empty() ? std::vector<int>{1, 2, 4} : units;
        request.kind = o.kind;
        request.model = o.model;
        request.keep = o.keep;
        return benchManyUnits(request) ? 0 : 1;
    }

    std::vector<int> rates;
    if (o.baud != "57600")
        rates.push_back(38400);
    if (o.baud != "38400")
        rates.push_back(57600);
    bool ok = true;
    for (int baud : rates)
        ok = benchOneRate(baud, o) && ok;
    return ok ? 0 : 1;
}
