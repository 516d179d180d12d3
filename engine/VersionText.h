// Version numbers read out of text: console replies, the control file and
// the resume log. Pure functions, no I/O.
#pragma once

#include <cstddef>
#include <string>

// Reads the version out of a console reply. When the reply holds "(", the
// six characters after it (after "(K" and one more character when the reply
// holds "(K" anywhere) are read as a leading decimal number into version
// (text that is not a number reads as 0) and true is returned; without "("
// version is left alone and false is returned.
bool parseVersion(const std::string& reply, double& version);

// The leading decimal number of text, as C's atof reads it: blanks skipped,
// then the longest numeric prefix; 0 when there is none or when it is not a
// finite number ("nan", "inf", "9e999").
double leadingDecimal(const std::string& text);

// The leading decimal number of the (up to) six characters of text from
// start; 0 when start is at or past the end.
double versionAt(const std::string& text, std::size_t start);
