// Parsing of the virtual line's direction settings.
#include <gtest/gtest.h>

#include "sim/line/LineOptions.h"

TEST(LineOptions, AppliesEachKindOfSetting)
{
    DirectionOptions d;
    for (const char* s : {"baud=57600", "latency-us=1000", "drop=3,9", "drop=12", "corrupt=5",
                          "mask=0x01", "dup=0", "noise=100:20", "noise=300:5:0.25:9", "stall=40:250"})
        EXPECT_EQ(applyDirectionSetting(d, s), "") << s;
    EXPECT_EQ(d.baud, 57600);
    EXPECT_EQ(d.latencyUs, 1000);
    EXPECT_EQ(d.drop, (std::set<std::uint64_t>{3, 9, 12}));
    EXPECT_EQ(d.corrupt, (std::set<std::uint64_t>{5}));
    EXPECT_EQ(d.corruptMask, 0x01);
    EXPECT_EQ(d.duplicate, (std::set<std::uint64_t>{0}));
    ASSERT_EQ(d.noise.size(), 2u);
    EXPECT_EQ(d.noise[0].atByte, 100u);
    EXPECT_EQ(d.noise[0].length, 20u);
    EXPECT_EQ(d.noise[0].rate, 1.0);
    EXPECT_EQ(d.noise[1].rate, 0.25);
    EXPECT_EQ(d.noise[1].seed, 9u);
    ASSERT_EQ(d.stalls.size(), 1u);
    EXPECT_EQ(d.stalls[0].atByte, 40u);
    EXPECT_EQ(d.stalls[0].durationMs, 250);
}

TEST(LineOptions, RefusesMalformedSettingsAndKeepsTheDirection)
{
    DirectionOptions d;
    d.drop = {1};
    for (const char* s : {"baud", "baud=", "baud=fast", "drop=1,,2", "drop=-1", "mask=0x100",
                          "mask=0", "noise=5", "noise=1:2:1.5", "noise=1:2:0.5:x", "stall=3",
                          "speed=9600", "latency-us=99999999999"}) {
        std::string error = applyDirectionSetting(d, s);
        EXPECT_NE(error.find(s), std::string::npos) << s;
    }
    EXPECT_EQ(d.drop, (std::set<std::uint64_t>{1}));
    EXPECT_TRUE(d.noise.empty());
    EXPECT_TRUE(d.stalls.empty());
    EXPECT_EQ(d.baud, 0);
}
