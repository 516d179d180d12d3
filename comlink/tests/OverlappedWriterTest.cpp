// The Windows write path with a driver that completes a write later than
// the call: the bytes sent are the bytes written, one write at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "comlink/OverlappedWriter.h"

namespace {

// Leaves every write pending until the test completes it, and only then
// reads the buffer it was given, as a USB serial driver may.
class LateDriver : public OverlappedIo {
public:
    BOOL writeFile(HANDLE, const void* data, DWORD count, OVERLAPPED*) override
    {
        maxInFlight = std::max(maxInFlight, ++inFlight);
        buffer = static_cast<const std::uint8_t*>(data);
        length = count;
        error = ERROR_IO_PENDING;
        return FALSE;
    }
    DWORD waitForEvent(HANDLE, DWORD) override { return completeNow ? WAIT_OBJECT_0 : WAIT_TIMEOUT; }
    BOOL overlappedResult(HANDLE, OVERLAPPED*, DWORD* count, BOOL) override
    {
        if (!completeNow) {
            error = ERROR_IO_INCOMPLETE;
            return FALSE;
        }
        sent.emplace_back(buffer, buffer + length);
        *count = length;
        --inFlight;
        completeNow = false;
        return TRUE;
    }
    BOOL cancel(HANDLE, OVERLAPPED*) override
    {
        completeNow = true;
        return TRUE;
    }
    DWORD lastError() override { return error; }

    bool completeNow = false;
    int inFlight = 0;
    int maxInFlight = 0;
    std::vector<std::vector<std::uint8_t>> sent;

private:
    const std::uint8_t* buffer = nullptr;
    DWORD length = 0;
    DWORD error = 0;
};

TEST(OverlappedWriter, ALateCompletionSendsWhatWasWrittenOneWriteAtATime)
{
    LateDriver driver;
    OverlappedWriter writer(driver);
    const HANDLE port = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(1));
    {
        // A byte on the caller's stack, gone before the driver reads it.
        std::uint8_t byte = 'A';
        EXPECT_EQ(writer.start(port, &byte, 1), 1u);
        byte = 'X';
    }
    EXPECT_FALSE(writer.settle(port, 10));
    const std::uint8_t block[] = {'b', 'c', 'd'};
    EXPECT_EQ(writer.start(port, block, 3), 0u) << "a second write while one is in flight";

    driver.completeNow = true;
    EXPECT_TRUE(writer.settle(port, 10));
    EXPECT_EQ(writer.start(port, block, 3), 3u);
    EXPECT_EQ(writer.inFlight(), 3u);
    writer.abandon(port);  // as a closing port does: the driver lets go first
    EXPECT_EQ(writer.inFlight(), 0u);

    EXPECT_EQ(driver.maxInFlight, 1);
    EXPECT_EQ(driver.sent, (std::vector<std::vector<std::uint8_t>>{{'A'}, {'b', 'c', 'd'}}));
}

}  // namespace
