// Meanings of unitxfer's result codes: its own interrupt code, then the layers' texts.
#include "tools/unitxfer/ResultText.h"

#include "transfer/TransferStatus.h"

const char* resultMeaning(int code)
{
    if (code == kXferInterrupted)
        return "interrupted by the user";
    return transferResultText(code);
}
