// UTF-8 text as the UTF-16 the wide Win32 calls take (Windows builds only).
#pragma once

#include <string>

// The text, UTF-8, as UTF-16: paths and arguments with blanks and non-ASCII
// characters reach the wide Win32 calls unchanged. Empty for empty text.
std::wstring widen(const std::string& text);
