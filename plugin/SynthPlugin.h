// The synthesizer as the host sees it: identity, program bank, parameters and the engine's state.
#pragma once

#include "params/Parameters.h"
#include "params/SafeConvert.h"
#include "plugin/AudioEffectX.h"
#include "plugin/ProgramBank.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class SynthVoice;

class SynthPlugin : public AudioEffectX
{
public:
    explicit SynthPlugin(audioMasterCallback audioMaster);
    ~SynthPlugin() override;

    SynthPlugin(const SynthPlugin&) = delete;
    SynthPlugin& operator=(const SynthPlugin&) = delete;

    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void setProgram(int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;
    void setSampleRate(float newRate) override;
    void setBlockSize(int32_t newSize) override;
    void suspend() override;
    void resume() override;
    int32_t processEvents(VstEvents* events) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool copyProgram(int32_t destination) override;
    bool getOutputProperties(int32_t index, VstPinProperties* properties) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;
    int32_t canDo(char* text) override;

    // Engine operations a subclass may replace.
    virtual void renderBlock(float** inputs, float** outputs, int32_t sampleFrames, bool replace);
    virtual void applyQuality();
    virtual void updateLfoFrequency(int32_t index);
    virtual void noteOff(int32_t stamp, int32_t velocity, int32_t note);
    virtual void noteOn(int32_t stamp, int32_t velocity, int32_t note, int32_t detune, int32_t delay);
    virtual void loadFactoryPresets();
    virtual double* randomBodyTable(int32_t which);

    void initEngine();
    // One stereo sample of all active voices into out[0] (left) and out[1] (right).
    void mixSample(float* out, float inL, float inR);
    // Moves the filter-envelope sustain of every sounding voice to value.
    void updateFilterSustain(float value);

    // The counts as the engine may use them: stored values can lie anywhere, indices must not.
    int32_t activeVoiceCount() const { return clampInt32(fVoiceCount, 1, kMaxVoices); }
    int32_t activeFilterOrder() const { return clampInt32(fFilterOrder, 1, kMaxFilterOrder); }

    SynthProgram& currentProgram() { return programs[static_cast<size_t>(curProgram)]; }
    const std::vector<SynthProgram>& programBank() const { return programs; }

    static constexpr int32_t kUniqueId = vstFourCC('Z', 'N', 'T', 'H');
    static constexpr int32_t kVendorVersion = 1;

    // Current values as last applied; the body types hold their quantised value.
    float fCurrentParams[kNumParams]{};

    // Engine values derived from the parameters.
    float fLossCoef1 = 0.0f;
    float fLossCoef2 = 0.0f;
    float fSatDrive1 = 0.0f;
    float fSatDrive2 = 0.0f;
    float fLeakGain1 = 0.0f;
    float fLeakGain2 = 0.0f;
    bool fLeakOn1 = false;
    bool fLeakOn2 = false;
    bool fQuantizeOn = false;
    float fNoiseGain = 0.0f;
    float fDetuneRatio = 0.0f;
    int32_t fFilterOrder = 0; // as computed; use activeFilterOrder() to index
    bool fBodyOn1 = false;
    bool fBodyOn2 = false;
    double fRandomBody1[kMaxFilterOrder]{};
    double fRandomBody2[kMaxFilterOrder]{};
    float fMixComplement = 0.0f;
    float fOutputGain = 0.0f;
    int32_t fVoiceCount = 0; // as computed; use activeVoiceCount() to index
    bool fHighQuality = false;

    // Engine state.
    uint32_t fSampleClock = 0; // wraps after 2^32 samples instead of overflowing
    int32_t fNextVoice = 0;
    float fBendTarget = 0.0f;
    float fBendRatio = 0.0f;
    float fWarpSmoothed = 0.0f;
    int32_t fCcMap[kNumControllers]{};
    // Built once by initEngine and kept for the plug-in's life.
    std::array<std::unique_ptr<SynthVoice>, kMaxVoices> fVoices;

protected:
    std::vector<SynthProgram> programs;

private:
    void applyBodyType(int32_t index, float value);
    void handleMidiEvent(const VstMidiEvent& event);
};
