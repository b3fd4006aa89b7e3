// Host-interface base, first level: the effect record, opcodes 0..24, host calls and number-to-text rules.
#pragma once

#include "VstInterface.h"

#include <cstdint>

class AEffEditor;

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    virtual void setParameter(int32_t index, float value);
    virtual float getParameter(int32_t index);
    virtual void setParameterAutomated(int32_t index, float value);
    virtual void process(float** inputs, float** outputs, int32_t sampleFrames);
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    virtual void open() {}
    virtual void close() {}
    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(int32_t index, char* label);
    virtual void getParameterDisplay(int32_t index, char* text);
    virtual void getParameterName(int32_t index, char* text);
    virtual float getVu() { return 0.0f; }
    virtual int32_t getChunk(void** data, bool isPreset);
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);
    virtual void setSampleRate(float newRate) { sampleRate = newRate; }
    virtual void setBlockSize(int32_t newSize) { blockSize = newSize; }
    virtual void suspend() {}
    virtual void resume() {}

    // Setup
    virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }

    // Inquiry
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }

    // Host communication
    virtual int32_t getMasterVersion();
    virtual void masterIdle();

    // Number-to-text rules shared by every display text; each writes at most eight characters and a terminator.
    virtual void dB2string(float value, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(int32_t value, char* text);

    AEffect* getAeffect() { return &cEffect; }
    AEffEditor* getEditor() { return editor; }
    // Registers the editor and announces it to the host through effFlagsHasEditor.
    void setEditor(AEffEditor* newEditor);
    audioMasterCallback getAudioMaster() const { return audioMaster; }

protected:
    // Calls the host, or answers 0 when there is no host callback.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void setFlag(int32_t flag, bool state);

    float sampleRate = 44100.0f;
    AEffEditor* editor = nullptr;
    audioMasterCallback audioMaster = nullptr;
    int32_t numPrograms = 0;
    int32_t numParams = 0;
    int32_t curProgram = 0;
    int32_t blockSize = 1024;
    AEffect cEffect{};

private:
    static intptr_t VSTCALLBACK dispatchEffect(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                               void* ptr, float opt);
    static void VSTCALLBACK processEffect(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
    static void VSTCALLBACK processReplacingEffect(AEffect* effect, float** inputs, float** outputs,
                                                   int32_t sampleFrames);
    static void VSTCALLBACK setParameterEffect(AEffect* effect, int32_t index, float value);
    static float VSTCALLBACK getParameterEffect(AEffect* effect, int32_t index);
};
