// The progress display: marks of the step list, the transfer line and the
// plain lines written when output is not a terminal.
#include <gtest/gtest.h>

#include "app/cli/ProgressView.h"

namespace {

ProgressSnapshot snapshotOf(std::initializer_list<std::pair<const char*, int>> steps)
{
    ProgressSnapshot snap;
    std::size_t i = 0;
    for (const auto& [name, done] : steps)
        snap.steps.slots[i++] = StepSlot{1, name, done};
    return snap;
}

}  // namespace

TEST(ProgressView, MarksDoneRunningAndPendingStepsAndShowsTheTransfer)
{
    ProgressSnapshot snap = snapshotOf({{"KERNEL.bin", 1}, {"REBOOT", 0}, {"fw\\app.bin", 0}});
    // A slot after the first empty one is not part of the list.
    snap.steps.slots[4] = StepSlot{1, "stale", 0};
    snap.fileName = "sub/KERNEL.bin";
    snap.block = 37;
    snap.bytes = 4608;
    snap.fileSize = 10240;
    snap.overallPercent = 33;
    snap.secondsLeft = 150;
    EXPECT_EQ(renderProgress(snap), (std::vector<std::string>{
                                        "[x] KERNEL.bin",
                                        "[>] REBOOT",
                                        "[ ] app.bin",
                                        "KERNEL.bin  block 37  4608 of 10240 bytes  45%  |  upgrade 33%, about 3 min left",
                                    }));
    snap.secondsLeft = -1;  // not known yet

    snap.bytes = 20000;  // a received file padded to whole blocks
    EXPECT_EQ(renderTransferLine(snap), "KERNEL.bin  block 37  20000 of 10240 bytes  100%  |  upgrade 33%");
    snap.fileSize = 1;  // the size is not known yet
    EXPECT_EQ(renderTransferLine(snap), "KERNEL.bin  block 37  20000 bytes  |  upgrade 33%");
    snap.fileName = "<None>";
    snap.notice = "The port Comm 1 is gone";
    const std::vector<std::string> lines = renderProgress(snap);
    EXPECT_EQ(lines[3], "no transfer running  |  upgrade 33%");
    EXPECT_EQ(lines[4], "! The port Comm 1 is gone");
    EXPECT_EQ(runningStep(snapshotOf({{"a", 1}, {"b", 1}}).steps), -1);
    // A finished upgrade has no time left to tell.
    snap.overallPercent = 100;
    snap.secondsLeft = 0;
    EXPECT_EQ(renderTransferLine(snap), "no transfer running  |  upgrade 100%");
}

TEST(ProgressView, TimeLeftInWholeMinutesFromOneMinute)
{
    EXPECT_EQ(timeLeftText(-1), "");
    EXPECT_EQ(timeLeftText(0), "less than a minute left");
    EXPECT_EQ(timeLeftText(59), "less than a minute left");
    EXPECT_EQ(timeLeftText(60), "about 1 min left");
    EXPECT_EQ(timeLeftText(89), "about 1 min left");
    EXPECT_EQ(timeLeftText(90), "about 2 min left");
    EXPECT_EQ(timeLeftText(149), "about 2 min left");
    EXPECT_EQ(timeLeftText(150), "about 3 min left");
}

TEST(ProgressView, AResumedListShowsTheEntriesAfterTheSlotsAnEarlierRunDid)
{
    ProgressSnapshot snap = snapshotOf({{"", 1}, {"", 1}, {"GETCAL", 1}, {"PUTCAL", 0}});
    snap.steps.slots[0] = StepSlot{0, "", 1};
    snap.steps.slots[1] = StepSlot{0, "", 1};
    EXPECT_EQ(renderProgress(snap), (std::vector<std::string>{
                                        "(2 steps done in an earlier run)",
                                        "[x] GETCAL",
                                        "[>] PUTCAL",
                                        "no transfer running  |  upgrade 0%",
                                    }));
    ProgressLog log;
    EXPECT_EQ(log.update(snap, 0), (std::vector<std::string>{"Steps: GETCAL PUTCAL (2 steps done in an earlier run)",
                                                             "Step 2/2: PUTCAL"}));
}

TEST(ProgressView, PlainLinesOnChangesAndTheTransferAtMostEveryInterval)
{
    ProgressLog log(5000);
    ProgressSnapshot snap = snapshotOf({{"KERNEL.bin", 0}, {"REBOOT", 0}, {"GETCAL", 0}});
    snap.fileSize = 1000;
    EXPECT_EQ(log.update(snap, 0), (std::vector<std::string>{"Steps: KERNEL.bin REBOOT GETCAL", "Step 1/3: KERNEL.bin"}));
    EXPECT_TRUE(log.update(snap, 100).empty());

    snap.fileName = "KERNEL.bin";
    snap.bytes = 128;
    EXPECT_EQ(log.update(snap, 200), (std::vector<std::string>{"Transfer: KERNEL.bin"}));
    snap.bytes = 512;
    snap.overallPercent = 4;
    snap.secondsLeft = 40;
    EXPECT_TRUE(log.update(snap, 3000).empty());
    EXPECT_EQ(log.update(snap, 5200), (std::vector<std::string>{
                                          "  KERNEL.bin  block 0  512 of 1000 bytes  51%  |  upgrade 4%, less than a minute left"}));

    snap.steps.slots[0].done = 1;
    snap.overallPercent = 50;
    EXPECT_EQ(log.update(snap, 5300), (std::vector<std::string>{"Step 2/3: REBOOT"}));
    // A step that began and ended between two looks is still named.
    snap.steps.slots[1].done = 1;
    snap.steps.slots[2].done = 1;
    EXPECT_EQ(log.update(snap, 5400),
              (std::vector<std::string>{"Step 3/3: GETCAL (done)", "All steps done (upgrade 50%)"}));

    // A new phase publishes a new list.
    ProgressSnapshot next = snapshotOf({{"app.bin", 0}});
    next.fileName = "KERNEL.bin";
    next.bytes = 512;
    EXPECT_EQ(log.update(next, 5500), (std::vector<std::string>{"Steps: app.bin", "Step 1/1: app.bin"}));
}
