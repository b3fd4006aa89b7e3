// The program bank: 'Init' records, selection, names, copies and the chunk images handed to the host.
#include "ProgramBank.h"

#include "SynthPlugin.h"

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

// Copies at most 23 characters of a name that need not be terminated within its field, then a terminator.
void copyName(char* destination, const char* source)
{
    size_t length = 0;
    while (length < static_cast<size_t>(kMaxNameChars) && source[length] != '\0')
        length++;
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}
} // namespace

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
    copyName(program.name, "Init");
}

void SynthPlugin::setProgram(int32_t program)
{
    if (program < 0 || program >= kNumPrograms)
        return;
    curProgram = program;
    for (int32_t index : kProgramApplyOrder)
        setParameter(index, currentProgram().fParams[index]); // read afresh: each call rewrites the record
}

void SynthPlugin::setProgramName(char* name)
{
    if (name == nullptr)
        return;
    SynthProgram& program = currentProgram();
    std::memset(program.name, 0, sizeof program.name);
    copyName(program.name, name);
}

void SynthPlugin::getProgramName(char* name)
{
    if (name == nullptr)
        return;
    copyName(name, currentProgram().name);
}

bool SynthPlugin::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
    if (text == nullptr || index < 0 || index >= kNumPrograms)
        return false;
    copyName(text, programs[static_cast<size_t>(index)].name);
    return true;
}

bool SynthPlugin::copyProgram(int32_t destination)
{
    if (destination < 0 || destination >= kNumPrograms)
        return false;
    programs[static_cast<size_t>(destination)] = currentProgram();
    return true;
}

int32_t SynthPlugin::getChunk(void** data, bool isPreset)
{
    if (data == nullptr)
        return 0;
    if (isPreset)
    {
        *data = &currentProgram();
        return kPresetChunkSize;
    }
    *data = programs.data();
    return kBankChunkSize;
}

int32_t SynthPlugin::setChunk(void* data, int32_t byteSize, bool isPreset)
{
    if (data == nullptr)
        return 0;
    // memmove: a host may hand back the very bytes getChunk lent it.
    if (isPreset)
    {
        if (byteSize != kPresetChunkSize)
            return 0;
        std::memmove(&currentProgram(), data, static_cast<size_t>(kPresetChunkSize));
        return 1;
    }
    if (byteSize != kBankChunkSize)
        return 0;
    std::memmove(programs.data(), data, static_cast<size_t>(kBankChunkSize));
    return 1;
}
