// The result texts of the link and transfer layers: each known code has its
// own words, and the transfer layer passes the link's codes through.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "comlink/CommPort.h"
#include "transfer/FileEngine.h"
#include "transfer/TransferStatus.h"

TEST(ResultText, EveryKnownCodeHasItsOwnWordsAndLinkCodesPassThrough)
{
    std::map<std::string, int> seen;
    int known = 0;
    for (int code = 0; code >= -999; --code) {
        const std::string text = transferResultText(code);
        if (code >= -842 && code <= -801) {
            EXPECT_EQ(text, commResultText(code)) << code;
        }
        if (text == "unknown result")
            continue;
        ++known;
        EXPECT_TRUE(seen.emplace(text, code).second) << code << " repeats the text of " << seen[text];
    }
    EXPECT_EQ(known, 1 + 15 + 17 + 7);  // success, link, transfer, file engine
    EXPECT_STREQ(commResultText(XFER_NO_START), "unknown result");
    EXPECT_STREQ(transferResultText(FILE_ENGINE_TELL_FAILED), "file engine: position unknown");
    EXPECT_STREQ(transferResultText(COMM_PORT_IN_USE), "port already in use");
}
