// POSIX port names: the UNITFLASH_PORTS list, the devices found in /dev,
// and whether a named device is present.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "comlink/PortNames.h"

namespace {

class PortListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("UNITFLASH_PORTS"))
            saved = old, hadValue = true;
    }
    void TearDown() override
    {
        if (hadValue)
            setenv("UNITFLASH_PORTS", saved.c_str(), 1);
        else
            unsetenv("UNITFLASH_PORTS");
    }
    std::string saved;
    bool hadValue = false;
};

TEST_F(PortListTest, EnvironmentListNamesThePortsInOrder)
{
    setenv("UNITFLASH_PORTS", "/dev/pts/7, /dev/ttyUSB3 ,/dev/ttyS0", 1);
    EXPECT_EQ(portDevicePath(0), "/dev/pts/7");
    EXPECT_EQ(portDevicePath(1), "/dev/ttyUSB3");
    EXPECT_EQ(portDevicePath(2), "/dev/ttyS0");
    EXPECT_EQ(portDevicePath(3), "");
    EXPECT_EQ(portDevicePath(-1), "");
}

TEST_F(PortListTest, WithoutTheListOnlySerialDevicesAreNamed)
{
    unsetenv("UNITFLASH_PORTS");
    for (int i = 0; i < 64; ++i) {
        const std::string path = portDevicePath(i);
        if (path.empty())
            break;
        EXPECT_TRUE(path.rfind("/dev/ttyUSB", 0) == 0 || path.rfind("/dev/ttyACM", 0) == 0 ||
                    path.rfind("/dev/ttyS", 0) == 0)
            << path;
    }
}

TEST_F(PortListTest, APortIsPresentWhenItsPathExists)
{
    setenv("UNITFLASH_PORTS", "/dev/null,/nonexistent/tty", 1);
    EXPECT_TRUE(portPresent(0));
    EXPECT_FALSE(portPresent(1));
    EXPECT_FALSE(portPresent(2));
    EXPECT_FALSE(portPresent(-1));
}

} // namespace
