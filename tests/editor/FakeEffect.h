// A stand-in for the plug-in: 38 stored values with a simple display text, and a host that logs its calls.
#pragma once

#include "editor/SynthEditor.h"
#include "plugin/AudioEffectX.h"

#include <cstdio>
#include <functional>
#include <vector>

struct HostCall
{
    int32_t opcode;
    int32_t index;
    float opt;
};

class FakeEffect : public AudioEffectX
{
public:
    FakeEffect() : AudioEffectX(hostCallback, 1, SynthEditor::kParamCount)
    {
        cEffect.user = this;
        for (float& v : fValues)
            v = 0.5f;
    }

    void setParameter(int32_t index, float value) override
    {
        if (index < 0 || index >= SynthEditor::kParamCount)
            return;
        fValues[index] = value;
        if (fEditor != nullptr)
            fEditor->setParameter(index, value);
    }
    float getParameter(int32_t index) override
    {
        return index >= 0 && index < SynthEditor::kParamCount ? fValues[index] : 0.0f;
    }
    void getParameterDisplay(int32_t index, char* text) override
    {
        std::snprintf(text, 16, "%d:%.3f", index, static_cast<double>(getParameter(index)));
    }

    // Host side.
    static intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void*, float opt)
    {
        if (effect == nullptr)
            return opcode == audioMasterVersion ? 2400 : 0;
        auto* self = static_cast<FakeEffect*>(effect->user);
        self->fCalls.push_back({opcode, index, opt});
        if (opcode == audioMasterIdle && self->fOnIdle)
            self->fOnIdle();
        return 0;
    }
    int count(int32_t opcode) const
    {
        int n = 0;
        for (const auto& c : fCalls)
            n += c.opcode == opcode ? 1 : 0;
        return n;
    }

    float fValues[SynthEditor::kParamCount];
    SynthEditor* fEditor = nullptr;
    std::vector<HostCall> fCalls;
    std::function<void()> fOnIdle;
};
