// A stand-in for the plug-in behind the editor: 38 stored values with a simple display text, and a log of
// the gestures, changes and host idles the editor asked for.
#pragma once

#include "editor/EditorController.h"
#include "editor/SynthEditor.h"

#include <cstdio>
#include <functional>
#include <vector>

class FakeController : public EditorController
{
public:
    enum class Call
    {
        change,
        begin,
        end,
        idle,
    };
    struct Record
    {
        Call call;
        int32_t index;
        float value;
    };

    FakeController()
    {
        for (float& v : fValues)
            v = 0.5f;
    }

    // A change from the plug-in's side (host automation, program change): stored, then the editor is told.
    void setParameter(int32_t index, float value)
    {
        if (index < 0 || index >= SynthEditor::kParamCount)
            return;
        fValues[index] = value;
        if (fEditor != nullptr)
            fEditor->setParameter(index, value);
    }

    float parameterValue(int32_t index) override
    {
        return index >= 0 && index < SynthEditor::kParamCount ? fValues[index] : 0.0f;
    }
    void parameterText(int32_t index, char* text) override
    {
        std::snprintf(text, 16, "%d:%.3f", index, static_cast<double>(parameterValue(index)));
    }
    void changeParameter(int32_t index, float value) override
    {
        setParameter(index, value);
        fCalls.push_back({Call::change, index, value});
    }
    void beginGesture(int32_t index) override { fCalls.push_back({Call::begin, index, 0.0f}); }
    void endGesture(int32_t index) override { fCalls.push_back({Call::end, index, 0.0f}); }
    void idleHost() override
    {
        fCalls.push_back({Call::idle, 0, 0.0f});
        if (fOnIdle)
            fOnIdle();
    }

    int count(Call call) const
    {
        int n = 0;
        for (const Record& r : fCalls)
            n += r.call == call ? 1 : 0;
        return n;
    }

    float fValues[SynthEditor::kParamCount];
    SynthEditor* fEditor = nullptr;
    std::vector<Record> fCalls;
    std::function<void()> fOnIdle;
};
