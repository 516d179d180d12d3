// XMODEM with 1024-byte blocks: the engine in variant 1.
#pragma once

#include "transfer/XmodemTransfer.h"

// 1024-byte blocks while more than 896 bytes remain, 128-byte blocks for
// the rest (variant 1). Everything else as XmodemTransfer.
class Xmodem1kTransfer : public XmodemTransfer {
public:
    Xmodem1kTransfer(CommLink* link, TransferStatus* status)
        : XmodemTransfer(link, status)
    {
        this->status->variant = 1;
    }
};
