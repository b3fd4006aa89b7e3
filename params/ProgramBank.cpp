// The program bank: 'Init' records, the order in which a program is applied, names.
#include "params/ProgramBank.h"

#include <cstring>

namespace
{
constexpr int32_t kMaxNameChars = kProgramNameSize - 1;

constexpr float kInitValues[kNumParams] = {
    0.335581f, // kBrightness
    0.0f,      // kAttack
    0.8f,      // kRelease
    0.96f,     // kCutoff1
    0.99f,     // kGain1
    0.009155f, // kSaturation1
    0.09999f,  // kLFO1Freq
    0.011719f, // kLFO1Amp
    0.059207f, // kLeakage1
    0.98f,     // kQuantization
    3e-05f,    // kLeakageCutoff
    1.0f,      // kPolarity2
    0.003f,    // kDetune2
    0.281f,    // kCutoff2
    0.98f,     // kGain2
    0.01144f,  // kSaturation2
    0.161f,    // kLFO2Freq
    0.019196f, // kLFO2Amp
    0.01f,     // kLeakage2
    0.0f,      // kFilterTopology
    1.0f,      // kFilterOrder
    0.91f,     // kResonance
    0.8f,      // kWarp
    0.001f,    // kLFOWarpFreq
    0.05f,     // kLFOWarpAmp
    0.2f,      // kBodyType1, quantised only when applied
    0.6f,      // kBodyType2
    0.27f,     // kFilterAttack
    0.125f,    // kFilterDecay
    0.44f,     // kFilterSustain
    0.04f,     // kFilterRelease
    0.5f,      // kRandomPan
    0.5f,      // kVelocity2Volume
    0.5f,      // kVelocity2Brightness
    0.0f,      // kMix
    0.3f,      // kVolume
    0.5f,      // kPolyphony
    0.0f,      // kQuality
};

} // namespace

void copyProgramName(char* destination, const char* source)
{
    size_t length = 0;
    while (length < static_cast<size_t>(kMaxNameChars) && source[length] != '\0')
        length++;
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

// Not the index order: stored programs have always been applied in this order, and each step reaches the
// voices at once.
const int32_t kProgramApplyOrder[kNumParams] = {
    kCutoff1,      kGain1,        kSaturation1,   kSaturation2,      kLeakage1,         kCutoff2,
    kGain2,        kDetune2,      kMix,           kQuantization,     kBrightness,       kBodyType1,
    kBodyType2,    kWarp,         kResonance,     kFilterOrder,      kAttack,           kRelease,
    kFilterTopology, kFilterAttack, kFilterDecay, kFilterSustain,    kFilterRelease,    kVolume,
    kLFO1Freq,     kLFO1Amp,      kLFO2Freq,      kLFO2Amp,          kLFOWarpFreq,      kLFOWarpAmp,
    kLeakageCutoff, kLeakage2,    kPolarity2,     kRandomPan,        kVelocity2Volume,  kVelocity2Brightness,
    kPolyphony,    kQuality,
};

void initProgram(SynthProgram& program)
{
    std::memcpy(program.fParams, kInitValues, sizeof program.fParams);
    std::memset(program.name, 0, sizeof program.name);
    copyProgramName(program.name, "Init");
}


ProgramBank::ProgramBank()
{
    for (SynthProgram& program : fPrograms)
        initProgram(program);
}

void ProgramBank::setName(int32_t index, const char* name)
{
    if (!isProgram(index) || name == nullptr)
        return;
    SynthProgram& record = program(index);
    std::memset(record.name, 0, sizeof record.name);
    copyProgramName(record.name, name);
}

void ProgramBank::getName(int32_t index, char* name) const
{
    if (!isProgram(index) || name == nullptr)
        return;
    copyProgramName(name, program(index).name);
}
