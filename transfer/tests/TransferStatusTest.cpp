// The status record: what reset keeps, and the file name as an owned copy.
#include <gtest/gtest.h>

#include "transfer/TransferStatus.h"

namespace {

TEST(TransferStatus, NewRecordHasTheCheckNamesAndEverythingElseZero)
{
    TransferStatus s;
    ASSERT_NE(s.checkNames, nullptr);
    EXPECT_STREQ(s.checkNames[3], "16 bit CRC");
    EXPECT_EQ(s.variant, 0);
    EXPECT_EQ(s.checkKind, 0);
    EXPECT_EQ(s.blockNumber, 0);
    EXPECT_EQ(s.bytesDone, 0u);
    EXPECT_EQ(s.fileNameSnapshot(), "");
}

TEST(TransferStatus, ResetKeepsVariantAndCheckKindAndClearsTheRest)
{
    TransferStatus s;
    s.variant = 1;
    s.checkKind = 1;
    s.setFileName("old.bin");
    s.filesOpened = 2;
    s.fileSize = 9;
    s.frameNumber = 3;
    s.blockNumber = 4;
    s.blockSize = 1024;
    s.checkValue = 77;
    s.bytesDone = 500;
    s.result = -908;
    s.errorCount = 5;
    s.consecutiveErrors = 6;
    s.reset(DIRECTION_SEND);
    EXPECT_EQ(s.direction, 1);
    EXPECT_EQ(s.variant, 1);
    EXPECT_EQ(s.checkKind, 1);
    EXPECT_EQ(s.fileNameSnapshot(), "<None>");
    EXPECT_EQ(s.filesOpened + static_cast<int>(s.fileSize) + s.frameNumber + s.blockNumber + s.blockSize
                  + s.checkValue + static_cast<int>(s.bytesDone) + s.result + s.errorCount + s.consecutiveErrors,
              0);
}

TEST(TransferStatus, FileNameIsCopiedSoTheCallersTextMayGo)
{
    TransferStatus s;
    {
        std::string name = "caltab.bin";
        s.setFileName(name.c_str());
        name.assign("overwritten");
    }
    EXPECT_EQ(s.fileNameSnapshot(), "caltab.bin");
    s.setFileName(nullptr);
    EXPECT_EQ(s.fileNameSnapshot(), "");
}

TEST(TransferStatus, DefaultHooksPassTheResultAndNeverAbort)
{
    TransferStatus s;
    EXPECT_EQ(s.notify(-914), -914);
    EXPECT_EQ(s.abortQuery(), 0);
}

} // namespace
