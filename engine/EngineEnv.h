// What a worker takes from its surroundings: where the firmware set lies,
// how to open the port, the clock, how to report and how to be stopped.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "comlink/Clock.h"
#include "comlink/CommPort.h"

// Receives the workers' reports: a message number (WM_IDENTIFY_DONE,
// WM_UPGRADE_DONE) and its wParam. Called on the worker's thread; an
// implementation queues the report for its own thread (the GUI posts a
// queued event, the CLI wakes its waiting main thread).
class EngineNotifier {
public:
    virtual ~EngineNotifier() = default;
    virtual void post(int message, int wParam) = 0;
};

// The search animation shown while a unit is identified. The identification
// worker creates it, retitles it with every status text and destroys it, all
// from its own thread; an implementation carries the calls out on its own
// thread, in order.
class SearchAnimation {
public:
    virtual ~SearchAnimation() = default;
    virtual void create() = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void destroy() = 0;
};

// Opens the port a worker uses, for the given zero-based port index and
// driver queue sizes. Never null; the caller checks lastError.
using PortOpener = std::function<std::unique_ptr<CommPort>(int portIndex, int rxQueue, int txQueue)>;

// The port of the platform by index ("Comm N" is index N - 1).
PortOpener platformPortOpener();

// Where the time of a run went, for benchmarks: the fixed console pauses
// and the console reads (each waits out its 500 ms unless the reply fills
// its limit). Milliseconds of the worker's clock; any thread may read.
struct EngineStats {
    std::atomic<long long> pauseMs{0};
    std::atomic<long long> replyWaitMs{0};
};

// One worker's surroundings. Everything a worker touches outside the
// UpgradeState comes from here, so tests run workers side by side.
struct EngineEnv {
    // The folder of the firmware set: "control.upd", the images, the
    // converters, the backup images. Empty: the current directory.
    std::string workDir;
    // The unit's working folder in the set (see UnitFolder.h): its resume
    // log, downloaded tables, converter outputs and cable files. Set by the
    // front end that has claimed it and holds its lock for the whole run;
    // empty until then (an upgrade then claims it itself).
    std::string unitDir;
    // Opens the port; platformPortOpener() when empty.
    PortOpener openPort;
    // Times every pause and time-out; systemClock() when null.
    Clock* clock = nullptr;
    // Reports; none when null.
    EngineNotifier* notifier = nullptr;
    // The identification's search animation; none when null.
    SearchAnimation* animation = nullptr;
    // Raised by another thread to ask the worker to stop. Waits, retries,
    // pauses and child programs check it at least every 100 ms.
    const std::atomic<bool>* stop = nullptr;
    // Multiplies the fixed console pauses (never the protocol time-outs).
    // 1 in production; tests and the demo make an upgrade take seconds.
    double pauseScale = 1.0;
    // Real time the identification waits before it opens the port, so that
    // a previous holder of the port has let go of it.
    int openDelayMs = 5000;
    // Time accounting; none when null.
    EngineStats* stats = nullptr;
    // Where the set's programs (Kcnv, Lcnv, header) write their standard
    // output and error: empty, discarded; otherwise this file,
    // appended to. A front end that redraws a terminal keeps them off it.
    std::string toolOutput;
    // A unit without a serial number is upgraded in a new folder of its
    // own although the set holds an unfinished carry-over of a unit without
    // one (which is kept as it is): a person has said it is another unit.
    bool discardPending = false;
    // A unit without a serial number resumes the newest unfinished
    // carry-over of a unit without one: a person has said that it is this
    // unit. Otherwise such a log is never taken for this unit's.
    bool resumeUnnamed = false;
    // The folder a file of the run lies in: the unit's folder for its
    // working files (isWorkingFile) once unitDir is set, the set otherwise.
    std::string folderOf(const std::string& name) const;
    // The path of a firmware-set file or of a working file.
    std::string path(const std::string& name) const;
    bool stopRequested() const { return stop != nullptr && stop->load(); }
    Clock& clockRef() const { return clock != nullptr ? *clock : systemClock(); }
};
