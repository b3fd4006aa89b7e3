// The number-to-text rules every read-out uses: decibels, fixed eight-character numbers and integers.
#pragma once

#include <cstdint>

// Each writes at most eight characters and a terminator.
// "-oo" for a gain of 0 or below, otherwise 20 log10(gain) by float2string.
void dB2string(float value, char* text);
// Sign and point counted; digits that do not fit are dropped, never rounded.
void float2string(float value, char* text);
// "%7d" cut to eight characters; "Huge!" from one hundred million on.
void long2string(int32_t value, char* text);
