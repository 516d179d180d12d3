// CommLink, PortSettings and LineState over a scripted port in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "testkit/FakePort.h"
#include "comlink/CommLink.h"
#include "comlink/LineState.h"
#include "comlink/PortSettings.h"

using namespace testkit;

namespace {

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.idleStepMs = 1;
        port.baud = 19200;
    }

    VirtualClock clock{1000};
    FakePort port{clock};
};

TEST_F(LinkTest, ReadCharWithZeroTimeoutPollsOnceWithoutIdling)
{
    CommLink link(&port, &clock);
    port.readCalls = 0;
    EXPECT_EQ(link.readChar(0), COMM_NO_CHARACTER);
    EXPECT_EQ(port.readCalls, 1u);
    EXPECT_EQ(port.idleCalls, 0u);
}

TEST_F(LinkTest, ReadCharWaitsForALateCharacterWithinTheTimeout)
{
    CommLink link(&port, &clock);
    port.deliverText("Z", 300);
    EXPECT_EQ(link.readChar(500), 'Z');
    EXPECT_EQ(clock.tickMs(), 1300u);
    EXPECT_EQ(link.readChar(200), COMM_NO_CHARACTER);
    EXPECT_EQ(clock.tickMs(), 1500u);
}

// The time-out bounds the whole call: a line that never pauses still ends
// the read at the deadline instead of extending it per character.
TEST_F(LinkTest, ReadStringTimeoutBoundsTheWholeCallOnABusyLine)
{
    CommLink link(&port, &clock);
    for (std::uint32_t t = 1000; t < 3000; t += 10)
        port.deliverText("x", t - 1000);
    char buffer[401];
    const int n = link.readString(buffer, 400, -1, 500);
    EXPECT_GE(n, 49);
    EXPECT_LE(n, 51);
    EXPECT_LE(clock.tickMs(), 1501u);
    EXPECT_EQ(std::string(buffer).size(), static_cast<std::size_t>(n));
}

TEST_F(LinkTest, ReadStringWithNoRoomStoresNothingAndLeavesTheInput)
{
    CommLink link(&port, &clock);
    port.deliverText("OK");
    char* buffer = new char[1];  // maxChars + 1 bytes: only the NUL fits
    buffer[0] = 'x';
    EXPECT_EQ(link.readString(buffer, 0, -1, 500), 0);
    EXPECT_EQ(buffer[0], '\0');
    delete[] buffer;
    EXPECT_EQ(link.readChar(0), 'O');
    EXPECT_EQ(link.readString(nullptr, 10, -1, 0), 0);
}

TEST_F(LinkTest, TimeoutsHoldAcrossTheWrapOfTheTickCounter)
{
    clock.set(0xFFFFFF00u);
    CommLink link(&port, &clock);
    EXPECT_EQ(link.readChar(1000), COMM_NO_CHARACTER);
    EXPECT_EQ(clock.tickMs(), 0xFFFFFF00u + 1000u);  // wrapped, neither early nor stuck
    char buffer[8];
    clock.set(0xFFFFFFF0u);
    EXPECT_EQ(link.readString(buffer, 7, -1, 100), 0);
    EXPECT_EQ(clock.tickMs(), 0xFFFFFFF0u + 100u);
    clock.set(0xFFFFFFFEu);
    EXPECT_EQ(link.wait(5), 0);
    EXPECT_EQ(clock.tickMs(), 3u);
    EXPECT_TRUE(tickBefore(0xFFFFFFFFu, 2u));
    EXPECT_FALSE(tickBefore(2u, 0xFFFFFFFFu));
}

// Reads end at once with the code; a pause still lasts its time, so a loop
// of pauses around a dead device cannot spin.
TEST_F(LinkTest, WaitingCallsEndWithAFailingIdleCodeButPausesLastTheirTime)
{
    CommLink link(&port, &clock);
    port.idleResultAfter = 3;
    port.idleResult = COMM_DEVICE_FAULT;
    char buffer[16];
    EXPECT_EQ(link.readString(buffer, 10, -1, 60000), COMM_DEVICE_FAULT);
    EXPECT_EQ(link.readChar(60000), COMM_DEVICE_FAULT);
    link.charDelayMs = 5;
    EXPECT_EQ(link.writeChar('a'), COMM_DEVICE_FAULT);
    EXPECT_LT(clock.tickMs(), 1100u);
    const std::uint32_t before = clock.tickMs();
    EXPECT_EQ(link.wait(60000), COMM_DEVICE_FAULT);
    EXPECT_EQ(clock.tickMs() - before, 60000u);
}

// A port that sleeps as long as it is allowed: every wait hands it the time
// it has left, never more, so a sleeping port ends each call on time.
TEST_F(LinkTest, WaitsHandThePortTheTimeTheyHaveLeft)
{
    struct SleepingPort : FakePort {
        using FakePort::FakePort;
        int idleFor(int maxWaitMs) override
        {
            asked.push_back(maxWaitMs);
            clock.advance(static_cast<std::uint32_t>(std::min(maxWaitMs, 300)));
            return 0;
        }
        std::vector<int> asked;
    } sleeping{clock};
    CommLink link(&sleeping, &clock);
    const std::uint32_t start = clock.tickMs();
    EXPECT_EQ(link.readChar(700), COMM_NO_CHARACTER);
    EXPECT_EQ(sleeping.asked, (std::vector<int>{700, 400, 100}));
    char buffer[8];
    EXPECT_EQ(link.readString(buffer, 7, -1, 500), 0);
    EXPECT_EQ(link.wait(250), 0);
    EXPECT_EQ(clock.tickMs() - start, 1450u);
    EXPECT_EQ(sleeping.asked.back(), 250);
}

TEST_F(LinkTest, WriteLineStopsAfterAShortTextOrAShortEnding)
{
    CommLink link(&port, &clock);
    port.outputRoom = 2;
    EXPECT_EQ(link.writeLine("btx!", TERM_LF), 2);
    EXPECT_EQ(port.writtenText(), "bt");
    port.written.clear();
    port.outputRoom = 5;
    EXPECT_EQ(link.writeLine("boot", TERM_CRLF), 5);  // CR taken, LF refused
    EXPECT_EQ(port.writtenText(), "boot\r");
    EXPECT_EQ(link.write(nullptr, 3), 0);
    EXPECT_EQ(link.write(reinterpret_cast<const std::uint8_t*>("ab"), -1), 0);
}

TEST_F(LinkTest, CharDelayPausesAfterEachCharacter)
{
    CommLink link(&port, &clock);
    link.charDelayMs = 7;
    EXPECT_EQ(link.writeLine("ab", TERM_NONE), 2);
    EXPECT_EQ(link.writeChar('c'), 0);
    EXPECT_EQ(clock.tickMs(), 1007u);
}

TEST_F(LinkTest, LinkOnAFailedPortTouchesNothing)
{
    port.lastError = COMM_PORT_IN_USE;
    {
        CommLink link(&port, &clock);
        EXPECT_EQ(link.settings, nullptr);
        EXPECT_EQ(link.lineState, nullptr);
        std::vector<std::string> lines;
        link.dump([&](const char* s) { lines.emplace_back(s); });
        EXPECT_EQ(lines, (std::vector<std::string>{"", "fake port"}));
    }
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(LinkTest, LinkSetsTheLineAndGivesBackWhatItFound)
{
    port.baud = 38400, port.parity = 'E', port.dataBits = 7, port.stopBits = 2;
    port.inFlow = 1, port.outFlow = 12;
    {
        CommLink link(&port, &clock);
        EXPECT_EQ(port.baud, 9600);
        EXPECT_EQ(port.parity, 'N');
        EXPECT_EQ(port.inFlow, 0);
        EXPECT_EQ(port.outFlow, 0);
        PortSettings engine(&link);
        EXPECT_EQ(port.baud, 1200);
        EXPECT_EQ(engine.oldBaudRate, 9600);
        EXPECT_EQ(engine.setBaudRate(57600), 0);
        link.lineState->setFlowControl(4, 13);
    }
    EXPECT_EQ(port.baud, 38400);
    EXPECT_EQ(port.parity, 'E');
    EXPECT_EQ(port.dataBits, 7);
    EXPECT_EQ(port.stopBits, 2);
    EXPECT_EQ(port.inFlow, 1);
    EXPECT_EQ(port.outFlow, 12);
}

TEST_F(LinkTest, RefusedSetterKeepsThePreviousValue)
{
    CommLink link(&port, &clock);
    PortSettings s(&link);
    port.refuseBaud = 12345;
    EXPECT_EQ(s.setBaudRate(12345), COMM_GENERAL_FAILURE);
    EXPECT_EQ(s.baudRate, 1200);
    EXPECT_EQ(s.setBaudRate(57600), 0);
    EXPECT_EQ(s.baudRate, 57600);
    PortSettings unbound;
    EXPECT_EQ(unbound.apply(), COMM_GENERAL_FAILURE);
    EXPECT_EQ(unbound.setParity('E'), -1);
    EXPECT_EQ(unbound.parity, 'N');
    EXPECT_EQ(unbound.restore(), 0);
}

TEST_F(LinkTest, FailedBreakIsNotRecordedAsOn)
{
    CommLink link(&port, &clock);
    port.signalResult = COMM_BREAK_FAILED;
    EXPECT_EQ(link.lineState->setBreak(1), COMM_BREAK_FAILED);
    EXPECT_EQ(link.lineState->brk(), 0);
    port.signalResult = 0;
    EXPECT_EQ(link.lineState->setBreak(1), 1);
    EXPECT_EQ(link.lineState->brk(), 1);
}

TEST_F(LinkTest, HolderDumpsUseTheFixedFormats)
{
    CommLink link(&port, &clock);
    std::vector<std::string> lines;
    auto sink = [&](const char* s) { lines.emplace_back(s); };
    link.settings->dump(sink);
    link.lineState->inputFlow = 13;
    link.lineState->outputFlow = 14;
    port.carrier = false;
    port.statusBits[3] = 0xC0;  // overrun latched
    port.statusBits[1] = 0x01;  // CTS
    link.lineState->dump(sink);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Old Port - Baud:  19200    Parity: N    Data: 8    Stop: 1    ");
    EXPECT_EQ(lines[1], "New Port - Baud:   9600    Parity: N    Data: 8    Stop: 1    ");
    EXPECT_EQ(lines[2], "Old Flow IN: NONE     OUT: NONE      New Flow IN: NONE     OUT: RI        ");
    EXPECT_EQ(lines[3], "DTR: 0  RTS: 0  OE: 1  PE: 0  FE: 0  BD: 0  OV: 0  ");
    EXPECT_EQ(lines[4], "DSR: 0  CTS: 1  RI: 0  CD: 0  DDSR: 0  DCTS: 0  DRI: 0  DCD: 0  ");
}

} // namespace
