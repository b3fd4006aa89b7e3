// The synthesizer as a VST 2.x host sees it: identity, program bank and chunks, texts, and an engine that
// every request forwards to.
#pragma once

#include "engine/Instrument.h"
#include "params/Parameters.h"
#include "params/ProgramBank.h"
#include "plugin/AudioEffectX.h"

#include <cstdint>

// Threads: the host may call setParameter, setProgram and the chunk requests on any thread, also while
// its audio thread renders (see Instrument). The audio thread (processEvents, process, processReplacing)
// neither locks nor allocates.
class SynthPlugin : public AudioEffectX, protected InstrumentListener
{
public:
    explicit SynthPlugin(audioMasterCallback audioMaster);
    ~SynthPlugin() override;

    SynthPlugin(const SynthPlugin&) = delete;
    SynthPlugin& operator=(const SynthPlugin&) = delete;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;
    int32_t getProgram() override { return fInstrument.currentProgram(); }
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

    SynthEngine& engine() { return fInstrument.engine(); }
    const ProgramBank& programBank() const { return fInstrument.bank(); }
    const SynthProgram& currentProgram() const { return programBank().program(fInstrument.currentProgram()); }

    static constexpr int32_t kUniqueId = vstFourCC('Z', 'N', 'T', 'H');
    static constexpr int32_t kVendorVersion = 1;

protected:
    // Every stored change of a parameter, whatever its source; the editor plug-in follows it.
    void parameterChanged(int32_t /*index*/) override {}
    // A mapped MIDI controller moved a parameter: the host's display follows.
    void controllerMoved(int32_t index) override;

private:
    Instrument fInstrument;
    // What getChunk hands the host: the bank, or the current program in its first record.
    SynthProgram fChunk[kNumPrograms]{};
};
