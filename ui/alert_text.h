// Length-prefixed texts (a count byte, then up to 254 characters and a NUL)
// and the expansion of ^0, ^1 and ^2 in alert messages.
#pragma once

#include <cstdint>

typedef unsigned char PString[256];

constexpr int kMaxPStringLength = 254;

// Appends count characters of source from index first, cut so that the text
// holds at most 254 characters; a NUL follows the last one.
void AppendPString(PString destination, const char* source, int first, int count);
// The decimal form of a signed 32-bit integer.
void LongToPString(int32_t value, PString out);
// The integer part, a point, then the given number of fraction digits
// (rounded half away from zero at the last digit).
void DoubleToPString(double value, int fractionDigits, PString out);
// Replaces each ^0, ^1 or ^2 by the given text (null or empty removes it).
// Scanning goes on after the inserted text, so a text that itself holds ^1
// is inserted once, never expanded again.
void ExpandAlertText(PString text, const PString text0, const PString text1, const PString text2);

// The characters of a length-prefixed text as a C string.
inline const char* PStringChars(const PString text) { return reinterpret_cast<const char*>(text + 1); }
