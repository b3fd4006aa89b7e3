// The synthesizer with its editor window: every parameter change also reaches the editor, and the editor
// reaches the synthesizer through the controller interface.
#pragma once

#include "editor/EditorController.h"
#include "plugin/AEffEditor.h"
#include "plugin/SynthPlugin.h"

#include <memory>

class SynthEditor;

// The editor as the host-interface base sees it: the dispatcher's editor opcodes forwarded to SynthEditor.
class VstEditor : public AEffEditor
{
public:
    VstEditor(AudioEffect* effect, std::unique_ptr<SynthEditor> editor);
    ~VstEditor() override;

    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;
    bool setKnobMode(int32_t mode) override;
    bool onWheel(float distance) override;

    SynthEditor* editor() const { return fEditor.get(); }

private:
    std::unique_ptr<SynthEditor> fEditor;
    ERect fRect{};
};

class SynthEditorPlugin : public SynthPlugin, public EditorController
{
public:
    explicit SynthEditorPlugin(audioMasterCallback audioMaster);
    ~SynthEditorPlugin() override;

    // False when the editor could not be created; the entry point then gives the host nothing.
    bool hasEditor() const { return fEditor != nullptr; }
    SynthEditor* synthEditor() const { return fEditor; }

    // EditorController
    float parameterValue(int32_t index) override;
    void parameterText(int32_t index, char* text) override;
    void changeParameter(int32_t index, float value) override;
    void beginGesture(int32_t index) override;
    void endGesture(int32_t index) override;
    void idleHost() override;

protected:
    // Every stored change, whatever its source and thread, reaches the editor.
    void parameterChanged(int32_t index) override;

private:
    SynthEditor* fEditor = nullptr; // owned by the VstEditor the base destroys
};
