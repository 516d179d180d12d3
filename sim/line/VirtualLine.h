// A virtual serial line: two pseudo-terminals joined as the two ends of one line.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/line/LineOptions.h"
#include "sim/line/LineShaper.h"
#include "sim/line/PtyEnd.h"

struct pollfd;

// Why a line ended.
enum class LineEndReason {
    Running,    // not ended (or not started)
    Stopped,    // stop() was called
    EndClosed,  // a client closed its end (see LineOptions::holdOpen)
    TimeLimit,  // LineOptions::timeLimitMs passed
    IdleLimit,  // no byte for LineOptions::idleLimitMs
    Failed,     // a system call failed; see error()
};

const char* lineEndReasonText(LineEndReason reason);

// Directions, indexing stats(): bytes written at end A travel A_TO_B.
enum LineDirection : int { A_TO_B = 0, B_TO_A = 1 };

// Joins two ptys, A and B: what a client writes to one slave comes out of
// the other, shaped per direction by DirectionOptions. open() makes the
// ptys; run() moves bytes on the calling thread until the line ends, or
// start() does the same on a thread of the line's own. When the line ends
// it closes both masters (clients then read a hang-up) and removes its
// links. A line runs once.
class VirtualLine {
public:
    explicit VirtualLine(LineOptions options);
    // Stops the line and waits for its thread.
    ~VirtualLine();
    VirtualLine(const VirtualLine&) = delete;
    VirtualLine& operator=(const VirtualLine&) = delete;

    // Creates both ends and the links. 0, or -errno (nothing is left open).
    // Call before start()/run() from the thread that owns the line.
    int open();
    // The slave device path of END_A or END_B; empty before open().
    const std::string& path(int end) const { return ends[end].slavePath(); }

    // Runs the line on its own thread (opening it first if needed).
    // 0, or -errno when it could not be opened or started.
    int start();
    // Runs the line on the calling thread until it ends.
    LineEndReason run();
    // Asks the line to end; returns at once. Any thread; bytes still on
    // the wire are dropped.
    void stop();
    // Waits for the thread started by start() and returns why it ended.
    LineEndReason wait();

    // Any thread. Snapshot of one direction's counters.
    DirectionStats stats(int direction) const;
    // Any thread. The baud rate last seen on an end's termios (0 unknown).
    int speed(int end) const { return speeds[end].load(); }
    LineEndReason endReason() const { return reason.load(); }
    // Any thread. How many times the line has looked at both ends' speeds
    // and gone to sleep; tests wait for it to grow instead of for a fixed
    // time.
    std::uint64_t sleeps() const { return sleepCount.load(); }
    // The errno behind LineEndReason::Failed, or of a failed open().
    int error() const { return lastErrno.load(); }

private:
    // The pump, and the steps of each of its turns.
    LineEndReason loop();
    bool endingDone(std::int64_t nowNs);
    LineEndReason nextDeadline(std::int64_t nowNs, std::int64_t& deadlineNs);
    void buildPollSet(pollfd* fds) const;
    int pollUntil(pollfd* fds, std::int64_t deadlineNs);
    LineEndReason handleEvents(const pollfd* fds);
    bool readEnd(int end, std::int64_t nowNs);
    void deliver(int direction, std::int64_t nowNs, bool all);
    bool flushOut(int direction);
    void refreshSpeed(int end);
    void sampleSpeedsBeforePoll();
    void publishStats();

    LineOptions options;
    std::array<PtyEnd, 2> ends;
    std::array<LineShaper, 2> shapers;
    std::array<std::vector<std::uint8_t>, 2> outBuffers;  // delivered, not yet written
    std::array<bool, 2> endClosed{false, false};
    std::array<std::int64_t, 2> lastWriteNs{0, 0};
    std::array<std::atomic<int>, 2> speeds{};  // each end's latest sample
    // Each end's speed sampled just before the line last blocked in poll.
    std::array<int, 2> polledBaud{0, 0};
    // The sample taken before the poll during which the bytes still unread
    // on an end's master began to be written: the last one taken while
    // that end had been read to empty.
    std::array<int, 2> unreadSinceBaud{0, 0};
    std::array<bool, 2> readToEmpty{true, true};
    std::vector<WireByte> dueBytes;
    // The pump's times on the monotonic clock: when it started, when a byte
    // last came in, and since when it has been ending (-1: not ending; set
    // once a client has closed its end).
    std::int64_t startNs = 0;
    std::int64_t lastByteNs = 0;
    std::int64_t endingSinceNs = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    bool opened = false;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<LineEndReason> reason{LineEndReason::Running};
    std::atomic<int> lastErrno{0};
    std::atomic<std::uint64_t> sleepCount{0};
    mutable std::mutex statsMutex;
    std::array<DirectionStats, 2> published{};
};
