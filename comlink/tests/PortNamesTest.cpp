// "Comm N" names and the device paths behind them.
#include <gtest/gtest.h>

#include <string>

#include "comlink/PortNames.h"

namespace {

TEST(PortNamesTest, ParsesCommNamesInEveryUsualSpelling)
{
    EXPECT_EQ(parsePortName("Comm 1"), 0);
    EXPECT_EQ(parsePortName("comm4"), 3);
    EXPECT_EQ(parsePortName("COM12"), 11);
    EXPECT_EQ(parsePortName("Com 2"), 1);
    for (const char* bad : {"Comm 0", "Comm", "Comm ", "Comm 1x", "Comm -1", "/dev/ttyUSB0",
                            "xComm 1", "Comm 99999", "Comm  1", ""})
        EXPECT_EQ(parsePortName(bad), -1) << bad;
}

} // namespace
