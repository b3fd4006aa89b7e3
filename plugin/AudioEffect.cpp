// Host-interface base: effect record set-up, trampolines, opcodes 0..24 and the number-to-text rules.
#include "AudioEffect.h"

#include "AEffEditor.h"

#include "params/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

AudioEffect::AudioEffect(audioMasterCallback master, int32_t programs, int32_t params)
    : audioMaster(master), numPrograms(programs), numParams(params)
{
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processEffect;
    cEffect.setParameter = setParameterEffect;
    cEffect.getParameter = getParameterEffect;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.user = nullptr;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEffect;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setParameter(int32_t, float) {}

float AudioEffect::getParameter(int32_t)
{
    return 0.0f;
}

void AudioEffect::setParameterAutomated(int32_t index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::process(float**, float**, int32_t) {}

void AudioEffect::processReplacing(float**, float**, int32_t) {}

void AudioEffect::setProgramName(char*) {}

void AudioEffect::getProgramName(char* name)
{
    name[0] = '\0';
}

void AudioEffect::getParameterLabel(int32_t, char* label)
{
    label[0] = '\0';
}

void AudioEffect::getParameterDisplay(int32_t, char* text)
{
    text[0] = '\0';
}

void AudioEffect::getParameterName(int32_t, char* text)
{
    text[0] = '\0';
}

int32_t AudioEffect::getChunk(void**, bool)
{
    return 0;
}

int32_t AudioEffect::setChunk(void*, int32_t, bool)
{
    return 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 1;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text != nullptr)
            setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text != nullptr)
            getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text != nullptr)
            getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text != nullptr)
            getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text != nullptr)
            getParameterName(index, text);
        return 0;
    case effGetVu:
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        if (editor != nullptr && ptr != nullptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        if (editor != nullptr)
            return editor->open(ptr) ? 1 : 0;
        return 0;
    case effEditClose:
        if (editor != nullptr)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor != nullptr)
            editor->idle();
        return 0;
    case effIdentify:
        return vstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        if (ptr == nullptr)
            return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        // a size beyond 32 bits must not wrap into one the chunk reader accepts
        if (value < 0 || value > INT32_MAX)
            return 0;
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
        return 0;
    }
}

int32_t AudioEffect::getMasterVersion()
{
    int32_t version = static_cast<int32_t>(callHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    if (audioMaster == nullptr)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setFlag(int32_t flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::dB2string(float value, char* text)
{
    ::dB2string(value, text);
}

void AudioEffect::float2string(float value, char* text)
{
    ::float2string(value, text);
}

void AudioEffect::long2string(int32_t value, char* text)
{
    ::long2string(value, text);
}

intptr_t VSTCALLBACK AudioEffect::dispatchEffect(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                 void* ptr, float opt)
{
    if (effect == nullptr || effect->object == nullptr)
        return 0;
    auto* plugin = static_cast<AudioEffect*>(effect->object);
    if (opcode == effClose)
    {
        plugin->dispatcher(opcode, index, value, ptr, opt);
        delete plugin;
        return 1;
    }
    return plugin->dispatcher(opcode, index, value, ptr, opt);
}

void VSTCALLBACK AudioEffect::processEffect(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (effect != nullptr && effect->object != nullptr)
        static_cast<AudioEffect*>(effect->object)->process(inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processReplacingEffect(AEffect* effect, float** inputs, float** outputs,
                                                     int32_t sampleFrames)
{
    if (effect != nullptr && effect->object != nullptr)
        static_cast<AudioEffect*>(effect->object)->processReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::setParameterEffect(AEffect* effect, int32_t index, float value)
{
    if (effect != nullptr && effect->object != nullptr)
        static_cast<AudioEffect*>(effect->object)->setParameter(index, value);
}

float VSTCALLBACK AudioEffect::getParameterEffect(AEffect* effect, int32_t index)
{
    if (effect == nullptr || effect->object == nullptr)
        return 0.0f;
    return static_cast<AudioEffect*>(effect->object)->getParameter(index);
}
