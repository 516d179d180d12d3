// The demo firmware set with the virtual unit: a calibration carry-over
// done by hand with the set's own converters and clearing image, the way
// the upgrade will do it.
#include <gtest/gtest.h>

#include "sim/unit/UnitState.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"
#include "testkit/ScratchDir.h"
#include "comlink/CommLink.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

int upload(UnitsimProcess& unit, const std::string& path)
{
    unit.send("btx");
    TransferStatus status;
    Xmodem1kTransfer transfer(&unit.host(), &status);
    int result = transfer.sendFile(path.c_str());
    unit.readReply(3000);
    return result;
}

TEST(FirmwareSetWithUnit, CalibrationCarryOverLandsWhereTheSetSays)
{
    for (const char* kind : {"ne", "fe"}) {
        ScratchDir dir(std::string("carry-") + kind);
        const std::string set = dir.file("set");
        ASSERT_EQ(runProgram(FWSET_PATH, {FWSET_PATH, set}, dir.path(), {-1, 30000}).exitStatus, 0);
        const std::string state = dir.file("state");
        {
            UnitsimProcess unit(dir.path(), {"--no-pacing", "--kind", kind, "--state", state});
            ASSERT_TRUE(unit.started()) << unit.output();
            ASSERT_TRUE(unit.openHost(38400));
            const bool ne = std::string(kind) == "ne";

            // Download the kestrin tables.
            unit.send(ne ? "xmodem 70000 40000 G" : "xmodem 30000 40000 G");
            TransferStatus status;
            Xmodem1kTransfer receive(&unit.host(), &status);
            ASSERT_EQ(receive.receiveFile((set + "/caltab.bin").c_str()), 0);
            unit.readReply(3000);

            // Convert with the set's own programs.
            runProgram(set + "/Kcnv", {set + "/Kcnv", " "}, set, {-1, 30000});
            runProgram(set + "/Lcnv", {set + "/Lcnv", ne ? "NE" : "FE"}, set, {-1, 30000});
            std::vector<std::uint8_t> output2 = readBytes(set + "/output2.bin");
            ASSERT_EQ(output2.size(), 13176u);

            EXPECT_EQ(upload(unit, set + "/output2.bin"), 0);
            EXPECT_EQ(upload(unit, set + (ne ? "/calclear_ne.bin" : "/calclear_fe.bin")), 0);
            unit.closeHost();
            EXPECT_EQ(unit.stop(), 0);

            UnitState dumped;
            std::string error;
            ASSERT_TRUE(loadState(state, dumped, error)) << error;
            const std::uint32_t at = ne ? 0x90000 : 0x60000;
            std::vector<std::uint8_t> flash;
            dumped.flash.read(at, 13144, flash);
            EXPECT_TRUE(std::equal(output2.begin() + 32, output2.end(), flash.begin())) << kind;
            dumped.flash.read(at + 13156, 0x1000, flash);
            EXPECT_EQ(flash, std::vector<std::uint8_t>(0x1000, 0xFF)) << kind;
        }
    }
}

}  // namespace
