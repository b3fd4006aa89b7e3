// The synthesizer with its editor window: every parameter change also reaches the editor.
#pragma once

#include "plugin/SynthPlugin.h"

class SynthEditor;

class SynthEditorPlugin : public SynthPlugin
{
public:
    explicit SynthEditorPlugin(audioMasterCallback audioMaster);
    ~SynthEditorPlugin() override;

    // Stores and applies the value, then tells the editor (from whatever thread the change came).
    void setParameter(int32_t index, float value) override;

    // False when the editor could not be created; the entry point then gives the host nothing.
    bool hasEditor() const { return fEditor != nullptr; }
    SynthEditor* synthEditor() const { return fEditor; }

private:
    SynthEditor* fEditor = nullptr; // owned by the base, which destroys its editor
};
