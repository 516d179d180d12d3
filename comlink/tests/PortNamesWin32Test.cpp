// Windows port names: "Comm N" is "\\.\COMN", and the system's device
// list says which ports are present. UNITFLASH_TEST_PRESENT_PORTS tells what
// the machine has (the wine test set-up maps COM1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "comlink/PortNames.h"

namespace {

TEST(PortNamesWin32, CommNIsTheDosDeviceCOMN)
{
    EXPECT_EQ(portDevicePath(0), "\\\\.\\COM1");
    EXPECT_EQ(portDevicePath(11), "\\\\.\\COM12");
    EXPECT_EQ(portDevicePath(-1), "");
    EXPECT_EQ(portDevicePath(255), "");
}

TEST(PortNamesWin32, PresenceComesFromTheSystemsDeviceList)
{
    EXPECT_FALSE(portPresent(-1));
    EXPECT_FALSE(portPresent(255));
    // COM200 is on no machine this runs on.
    EXPECT_FALSE(portPresent(199));
    if (const char* expected = std::getenv("UNITFLASH_TEST_PRESENT_PORTS")) {
        // One character per port from Comm 1 on: "1" present, "0" absent.
        for (int i = 0; i < 4 && expected[i] != '\0'; ++i)
            EXPECT_EQ(portPresent(i), expected[i] == '1') << "Comm " << i + 1;
    }
}

} // namespace
