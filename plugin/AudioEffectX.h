// Host-interface base, second level: opcodes 25..76 and the extended host calls.
#pragma once

#include "AudioEffect.h"

class AudioEffectX : public AudioEffect
{
public:
    AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    virtual int32_t processEvents(VstEvents* events);
    virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text);
    virtual bool copyProgram(int32_t destination);
    virtual bool getInputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) { return false; }
    virtual bool getOutputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) { return false; }
    virtual int32_t getPlugCategory();
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual int32_t canDo(char* /*text*/) { return 0; }
    virtual int32_t getVstVersion() { return kVstVersion; }

    // Host communication
    virtual bool wantEvents(int32_t filter = 1);
    virtual bool updateDisplay();
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
};
