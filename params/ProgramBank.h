// Stored programs: the record of 38 values and a name laid out exactly as its chunk image, and the bank of 32.
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

// Copies at most 23 characters of a name that need not be terminated within its field, then a terminator.
void copyProgramName(char* destination, const char* source);

// The 32 programs: 'Init' records, the factory sounds in 0..7, names, copies and the bank image.
class ProgramBank
{
public:
    ProgramBank();

    // Writes the eight factory sounds into programs 0..7; nothing is applied.
    void loadFactoryPresets();

    static bool isProgram(int32_t index) { return index >= 0 && index < kNumPrograms; }
    // index must be 0..31.
    SynthProgram& program(int32_t index) { return fPrograms[static_cast<size_t>(index)]; }
    const SynthProgram& program(int32_t index) const { return fPrograms[static_cast<size_t>(index)]; }
    // The 32 records back to back: the bank image, 5632 bytes.
    SynthProgram* records() { return fPrograms; }
    const SynthProgram* records() const { return fPrograms; }

    // Cut to 23 characters; the bytes after the terminator are zeroed.
    void setName(int32_t index, const char* name);
    // At most 23 characters and a terminator, also for a stored name without terminator.
    void getName(int32_t index, char* name) const;

private:
    SynthProgram fPrograms[kNumPrograms];
};
