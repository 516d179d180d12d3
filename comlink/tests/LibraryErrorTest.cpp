// The default port bodies end the process through the library error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "comlink/CommPort.h"
#include "comlink/LibraryError.h"

namespace {

// A port class that overrides nothing.
class BarePort : public CommPort {};

TEST(LibraryErrorDeathTest, DefaultBodiesNameTheModuleAndLine)
{
    BarePort port;
    EXPECT_EXIT(port.idle(), ::testing::ExitedWithCode(1),
                "Library Error\nPure Virtual function called @COMLINK,241\nUnable to continue execution");
    QueueStatus q;
    EXPECT_EXIT(port.queueStatus(q, 1), ::testing::ExitedWithCode(1), "@COMLINK,251\n");
    EXPECT_EXIT(port.setQueueSizes(1, 2, 3), ::testing::ExitedWithCode(1), "@COMLINK,255\n");
    EXPECT_EXIT(port.readChar(), ::testing::ExitedWithCode(1), "@COMLINK,279\n");
    EXPECT_EXIT(port.dumpSettings(nullptr), ::testing::ExitedWithCode(1), "@COMLINK,285\n");
}

TEST(LibraryErrorDeathTest, InstalledHandlerSeesMessageAndTitleAndTheProcessStillEnds)
{
    auto viaHandler = [] {
        setLibraryErrorHandler([](const char* message, const char* title) {
            std::fprintf(stderr, "box<%s|%s>", title, message);
        });
        libraryError("TRANSFER", 435);
    };
    EXPECT_EXIT(viaHandler(), ::testing::ExitedWithCode(1),
                "box<Library Error\\|Pure Virtual function called @TRANSFER,435\nUnable to continue execution>");
}

TEST(LibraryErrorTest, ReservedSlotsAnswerNotSupported)
{
    BarePort port;
    EXPECT_EQ(port.reserved23(), COMM_NOT_SUPPORTED);
    EXPECT_EQ(port.reserved24(), COMM_NOT_SUPPORTED);
}

TEST(LibraryErrorTest, SettingAHandlerReturnsThePreviousOne)
{
    int calls = 0;
    LibraryErrorHandler mine = [&calls](const char*, const char*) { ++calls; };
    setLibraryErrorHandler(mine);
    LibraryErrorHandler previous = setLibraryErrorHandler(nullptr);
    ASSERT_TRUE(previous);
    previous("m", "t");
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(setLibraryErrorHandler(nullptr));
}

TEST(PortUseTableTest, HasSixteenEntriesAndNothingOutside)
{
    EXPECT_NE(portUseCount(0), nullptr);
    EXPECT_NE(portUseCount(15), nullptr);
    EXPECT_EQ(portUseCount(16), nullptr);
    EXPECT_EQ(portUseCount(-1), nullptr);
}

} // namespace
