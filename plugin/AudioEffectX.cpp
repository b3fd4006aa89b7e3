// Host-interface base, second level: opcodes 25..76 with their default replies.
#include "AudioEffectX.h"

#include "AEffEditor.h"

AudioEffectX::AudioEffectX(audioMasterCallback master, int32_t programs, int32_t params)
    : AudioEffect(master, programs, params)
{
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effProcessEvents:
        if (ptr != nullptr)
            processEvents(static_cast<VstEvents*>(ptr));
        return 1;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return 0;
    case effGetNumProgramCategories:
        return 1;
    case effGetProgramNameIndexed:
        if (text == nullptr)
            return 0;
        return getProgramNameIndexed(static_cast<int32_t>(value), index, text) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
    case effConnectOutput:
        return 1;
    case effGetInputProperties:
        if (ptr == nullptr)
            return 0;
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        if (ptr == nullptr)
            return 0;
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBlockSizeAndSampleRate:
        // stored directly: neither setter runs, as hosts have come to expect from this opcode
        blockSize = static_cast<int32_t>(value);
        sampleRate = opt;
        return 1;
    case effGetEffectName:
        return text != nullptr && getEffectName(text) ? 1 : 0;
    case effGetVendorString:
        return text != nullptr && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return text != nullptr && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return text != nullptr ? canDo(text) : -1; // no text: nothing it can do
    case effKeysRequired:
        return 1; // keystrokes are not needed
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
        if (editor != nullptr)
        {
            VstKeyCode key{index, static_cast<unsigned char>(value), static_cast<unsigned char>(opt)};
            return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        }
        return 0;
    case effSetEditKnobMode:
        if (editor != nullptr)
            return editor->setKnobMode(static_cast<int32_t>(value)) ? 1 : 0;
        return 0;
    case effGetCurrentMidiProgram:
        return -1;
    case effGetSpeakerArrangement:
        if (value != 0)
            *reinterpret_cast<void**>(value) = nullptr;
        if (ptr != nullptr)
            *static_cast<void**>(ptr) = nullptr;
        return 0;
    case effSetTotalSampleToProcess:
        return value;
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

int32_t AudioEffectX::processEvents(VstEvents*)
{
    return 0;
}

bool AudioEffectX::getProgramNameIndexed(int32_t, int32_t, char*)
{
    return false;
}

bool AudioEffectX::copyProgram(int32_t)
{
    return false;
}

int32_t AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::wantEvents(int32_t filter)
{
    return callHost(audioMasterWantMidi, 0, filter) != 0;
}

bool AudioEffectX::updateDisplay()
{
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::beginEdit(int32_t index)
{
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32_t index)
{
    return callHost(audioMasterEndEdit, index) != 0;
}
