// What the link and transfer result codes mean, in words for the console.
#pragma once

// unitxfer's own abort code: the user interrupted the transfer (Ctrl-C).
constexpr int kXferInterrupted = -930;

// A short meaning of a result code of the link (-801..-842), the transfer
// (-901..-930) or the file engine (-950..-956); "success" for 0 and
// "unknown result" for anything else. Never null.
const char* resultMeaning(int code);
