// The reopening port: what a device opened again gets put back on it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/ReopeningPort.h"
#include "testkit/FakePort.h"

using namespace testkit;

namespace {

// A device as the opener hands it out. An unopened one (another program
// held it) fails every setting as a platform port without a device does.
class DevicePort : public FakePort {
public:
    DevicePort(VirtualClock& clock, bool unopened_) : FakePort(clock), unopened(unopened_)
    {
        if (unopened)
            lastError = COMM_PORT_IN_USE;
    }
    int setLineSettings(int baud_, char parity_, int dataBits_, int stopBits_) override
    {
        if (unopened)
            return lastError = COMM_GENERAL_FAILURE;
        return FakePort::setLineSettings(baud_, parity_, dataBits_, stopBits_);
    }
    int setFlowControl(int inKind, int outKind) override
    {
        if (unopened)
            return lastError = COMM_GENERAL_FAILURE;
        return FakePort::setFlowControl(inKind, outKind);
    }
    int signal(int id, int value) override
    {
        if (id == SIG_DTR && value >= 0)
            dtr = value;
        return FakePort::signal(id, value);
    }

    bool unopened;
    int dtr = 1;
};

TEST(ReopeningPortTest, ADeviceOpenedLaterGetsTheSettingsRequestedWhileItWasAway)
{
    VirtualClock clock;
    std::vector<DevicePort*> opened;  // the last one is alive
    PortOpener opener = [&](int, int, int) -> std::unique_ptr<CommPort> {
        auto device = std::make_unique<DevicePort>(clock, opened.empty());
        opened.push_back(device.get());
        return device;
    };
    ReopeningPort port(opener, 0, 4096, 4096);
    EXPECT_TRUE(port.lost());
    // The rate found by identification, asked for while the device is away.
    EXPECT_NE(port.setLineSettings(115200, 'N', 8, 1), 0);
    EXPECT_NE(port.setFlowControl(SIG_RTS, SIG_CTS), 0);
    port.signal(SIG_DTR, 0);

    ASSERT_TRUE(port.recover());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1]->baud, 115200);
    EXPECT_EQ(opened[1]->inFlow, SIG_RTS);
    EXPECT_EQ(opened[1]->outFlow, SIG_CTS);
    EXPECT_EQ(opened[1]->dtr, 0);
    EXPECT_FALSE(port.lost());

    // A rate the working device turned down is not kept: the device opened
    // next runs at the last rate one took.
    opened[1]->refuseBaud = 12345;
    EXPECT_EQ(port.setLineSettings(12345, 'N', 8, 1), COMM_BAUD_REFUSED);
    ASSERT_TRUE(port.recover());
    EXPECT_EQ(opened.back()->baud, 115200);
}

} // namespace
