// One stored program: the 38 parameter values and a name, laid out exactly as its chunk image.
#pragma once

#include "params/Parameters.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t kProgramNameSize = 24; // 23 characters and the terminator

struct SynthProgram
{
    float fParams[kNumParams];
    char name[kProgramNameSize];
};

static_assert(sizeof(float) == 4);
static_assert(sizeof(SynthProgram) == 176, "the preset chunk is 176 bytes");
static_assert(offsetof(SynthProgram, name) == 152, "the name follows the 38 values");

constexpr int32_t kPresetChunkSize = static_cast<int32_t>(sizeof(SynthProgram));
constexpr int32_t kBankChunkSize = kPresetChunkSize * kNumPrograms;
static_assert(kBankChunkSize == 5632);

// Sets the record to the 'Init' program: its values, the name "Init" and zeroes after the name.
void initProgram(SynthProgram& program);
// The order in which a selected program's values are applied.
extern const int32_t kProgramApplyOrder[kNumParams];
