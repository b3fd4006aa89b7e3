// The eight factory sounds written into programs 0..7 when the plug-in is created.
#include "params/ProgramBank.h"

#include <cstring>

namespace
{
constexpr int kNumFactoryPresets = 8;

constexpr const char* kFactoryNames[kNumFactoryPresets] = {
    "pneumatic vorn", "chimar",   "little dissonant vorn", "soft vorn",
    "inner vibration", "rattling vorn cc105", "hybrid 1", "rubbarb",
};

// One row per parameter, one column per preset. kQuality is not part of a preset: every preset keeps the
// 'Init' value, low quality.
constexpr float kFactoryValues[kQuality][kNumFactoryPresets] = {
    {0.03357036f, 0.07382427f, 0.08053835f, 0.12750633f, 0.335581f, 0.0671102f, 0.026856288f, 0.040253915f}, // kBrightness
    {0.0f, 0.0f, 0.0f, 0.0f, 0.4295175f, 0.0f, 0.26847133f, 0.0f}, // kAttack
    {0.37583545f, 0.50001526f, 0.19461654f, 0.23490097f, 0.34229562f, 0.12079226f, 0.28858304f, 0.25504318f}, // kRelease
    {0.55705434f, 0.9f, 0.5838801f, 0.26175725f, 0.50001526f, 0.8724937f, 0.6979888f, 0.67113256f}, // kCutoff1
    {1.0f, 0.99f, 0.99f, 0.99f, 0.99f, 0.99f, 0.99f, 0.99f}, // kGain1
    {0.0f, 0.009155f, 0.006714072f, 0.009155f, 0.33558154f, 0.006714072f, 0.3221534f, 0.40269172f}, // kSaturation1
    {0.09999f, 0.09999f, 0.040253915f, 0.09999f, 0.41611987f, 0.09999f, 0.020142216f, 0.09999f}, // kLFO1Freq
    {0.011719f, 0.011719f, 0.008758812f, 0.011719f, 0.006714072f, 0.011719f, 0.011719f, 0.011719f}, // kLFO1Amp
    {0.0671102f, 0.059207f, 0.30201116f, 0.059207f, 0.259207f, 0.059207f, 0.059207f, 0.30201116f}, // kLeakage1
    {1.0f, 0.98f, 0.5033418f, 0.98f, 0.006714072f, 0.0f, 1.0f, 0.0f}, // kQuantization
    {0.37583545f, 0.53019804f, 0.087252416f, 0.80538344f, 0.42283395f, 0.53691214f, 0.53019804f, 0.05368206f}, // kLeakageCutoff
    {0.046967987f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.25504318f, 1.0f}, // kPolarity2
    {1.0f, 0.003f, 0.0f, 0.003f, 0.00469985f, 0.003f, 0.0f, 0.006714072f}, // kDetune2
    {0.76509905f, 0.28100002f, 0.5771661f, 0.5973083f, 0.48323008f, 0.6308786f, 0.75838494f, 0.67113256f}, // kCutoff2
    {0.98f, 0.98f, 0.98f, 0.98f, 0.98f, 0.98f, 0.98f, 0.98f}, // kGain2
    {0.07382427f, 0.01144f, 0.013428144f, 0.01144f, 0.20804468f, 0.01144f, 0.38254952f, 0.37583545f}, // kSaturation2
    {0.161f, 0.161f, 0.013428144f, 0.161f, 0.22147283f, 0.161f, 0.006714072f, 0.161f}, // kLFO2Freq
    {0.019196f, 0.019196f, 0.009430219f, 0.019196f, 0.7315287f, 0.019196f, 0.019196f, 0.019196f}, // kLFO2Amp
    {0.087252416f, 0.01f, 0.07382427f, 0.01f, 0.25039613f, 0.01f, 0.06039613f, 0.21475875f}, // kLeakage2
    {0.67113256f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.26175725f, 1.0f}, // kFilterTopology
    {0.7449568f, 0.2751549f, 0.6308786f, 0.6308786f, 1.0f, 0.020142216f, 0.3154393f, 0.39597765f}, // kFilterOrder
    {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.91f, 1.0f, 1.0f}, // kResonance
    {0.7919553f, 0.26847133f, 0.48994416f, 0.8f, 1.0f, 0.78524125f, 0.53691214f, 0.93960387f}, // kWarp
    {0.001f, 0.001f, 0.07382427f, 0.001f, 0.43623158f, 0.001f, 0.001f, 0.001f}, // kLFOWarpFreq
    {0.05f, 0.05f, 0.12079226f, 0.05f, 0.5436262f, 0.05f, 0.20804468f, 0.05f}, // kLFOWarpAmp
    {0.83892334f, 0.21475875f, 0.55705434f, 0.3624073f, 0.946318f, 0.013428144f, 0.34229562f, 0.83892334f}, // kBodyType1
    {0.36912137f, 0.8657796f, 0.91274756f, 0.476516f, 0.40269172f, 0.0f, 0.523484f, 0.8724937f}, // kBodyType2
    {0.27f, 0.14093448f, 0.87920773f, 0.27f, 0.69127476f, 0.27f, 0.5503403f, 0.2013306f}, // kFilterAttack
    {0.125f, 0.19461654f, 0.89260536f, 0.125f, 0.87920773f, 0.125f, 0.75838494f, 0.3221534f}, // kFilterDecay
    {1.0f, 0.9328898f, 0.44f, 0.44f, 0.44f, 0.62992126f, 0.6375927f, 0.44f}, // kFilterSustain
    {0.09396649f, 0.6241646f, 0.6979888f, 0.04f, 0.96642965f, 0.04f, 0.5436262f, 0.5973083f}, // kFilterRelease
    {0.83892334f, 0.5f, 0.5f, 0.5f, 0.5f, 0.114108704f, 0.107394636f, 0.026856288f}, // kRandomPan
    {0.5f, 0.1342204f, 0.5f, 0.5f, 0.5f, 0.087252416f, 0.5f, 0.5f}, // kVelocity2Volume
    {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.8322092f, 0.1812189f, 0.8523514f}, // kVelocity2Brightness
    {1.0f, 1.0f, 0.9f, 0.9f, 1.0f, 0.91946167f, 1.0f, 0.9328898f}, // kMix
    {0.90000004f, 0.90000004f, 0.88858306f, 0.90000004f, 0.90000004f, 0.90000004f, 0.90000004f, 0.84450483f}, // kVolume
    {1.0f, 0.5f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.5f}, // kPolyphony
};
} // namespace

void ProgramBank::loadFactoryPresets()
{
    static_assert(kNumFactoryPresets <= kNumPrograms);
    for (int preset = 0; preset < kNumFactoryPresets; preset++)
    {
        SynthProgram& program = fPrograms[preset];
        for (int index = 0; index < kQuality; index++)
            program.fParams[index] = kFactoryValues[index][preset];
        // the terminator only: the bytes after it keep their 'Init' contents
        std::memcpy(program.name, kFactoryNames[preset], std::strlen(kFactoryNames[preset]) + 1);
    }
}
