// Parameter names, unit labels and read-outs as the host and the editor show them.
#pragma once

#include "params/Parameters.h"

#include <cstddef>
#include <cstdint>

// Every name, label and read-out fits this many bytes with its terminator; longer texts are cut.
constexpr size_t kParameterTextSize = 24;

// values are the 38 current values. An index outside 0..37 or a null pointer writes nothing.
void parameterName(int32_t index, const float* values, char* text);
// Thirteen parameters have no label: their buffer is left exactly as it was.
void parameterLabel(int32_t index, char* label);
// Empty for kQuality and for an index outside 0..37.
void parameterDisplay(int32_t index, const float* values, char* text);
