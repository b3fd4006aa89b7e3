// Editor interface of the host-interface base: what the dispatcher forwards to a plug-in's window.
#pragma once

#include "AudioEffect.h"
#include "VstInterface.h"

class AEffEditor
{
public:
    explicit AEffEditor(AudioEffect* owner) : effect(owner)
    {
        if (effect != nullptr)
            effect->setEditor(this);
    }
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual bool getRect(ERect** rect)
    {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow)
    {
        systemWindow = parentWindow;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual void idle() {}
    virtual int32_t onKeyDown(VstKeyCode& /*key*/) { return 0; }
    virtual int32_t onKeyUp(VstKeyCode& /*key*/) { return 0; }
    virtual bool setKnobMode(int32_t /*mode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }

    AudioEffect* getEffect() { return effect; }

protected:
    AudioEffect* effect = nullptr;
    void* systemWindow = nullptr;
};
