// The synthesizer with its editor: creation of the editor, forwarding of parameter changes and of the
// host's editor requests.
#include "plugin/SynthEditorPlugin.h"

#include "editor/SynthEditor.h"

#include <new>

VstEditor::VstEditor(AudioEffect* effect, std::unique_ptr<SynthEditor> editor)
    : AEffEditor(effect), fEditor(std::move(editor))
{
    fRect = {0, 0, static_cast<int16_t>(fEditor->height()), static_cast<int16_t>(fEditor->width())};
}

VstEditor::~VstEditor() = default;

bool VstEditor::getRect(ERect** rect)
{
    if (rect == nullptr)
        return false;
    *rect = &fRect;
    return true;
}

bool VstEditor::open(void* parentWindow)
{
    const bool opened = fEditor->open(parentWindow);
    systemWindow = opened ? parentWindow : nullptr;
    return opened;
}

void VstEditor::close()
{
    fEditor->close();
    systemWindow = nullptr;
}

void VstEditor::idle()
{
    fEditor->idle();
}

int32_t VstEditor::onKeyDown(VstKeyCode& key)
{
    toolkit::KeyCode code{key.character, key.virt, key.modifier};
    return fEditor->onKeyDown(code);
}

int32_t VstEditor::onKeyUp(VstKeyCode& key)
{
    toolkit::KeyCode code{key.character, key.virt, key.modifier};
    return fEditor->onKeyUp(code);
}

bool VstEditor::setKnobMode(int32_t mode)
{
    SynthEditor::setKnobMode(mode);
    return true;
}

bool VstEditor::onWheel(float distance)
{
    return fEditor->onWheel(distance);
}

SynthEditorPlugin::SynthEditorPlugin(audioMasterCallback audioMaster) : SynthPlugin(audioMaster)
{
    setUniqueID(kUniqueId);
    // The editor registers itself with the base (and so sets effFlagsHasEditor); it needs no display.
    std::unique_ptr<SynthEditor> editor(new (std::nothrow) SynthEditor(this));
    if (editor == nullptr)
        return;
    SynthEditor* raw = editor.get();
    if (new (std::nothrow) VstEditor(this, std::move(editor)) != nullptr)
        fEditor = raw;
}

SynthEditorPlugin::~SynthEditorPlugin()
{
    // The window goes before the synthesizer it shows; the base destroys the editor object itself.
    if (fEditor != nullptr)
        fEditor->close();
}

void SynthEditorPlugin::parameterChanged(int32_t index)
{
    if (fEditor != nullptr)
        fEditor->setParameter(index, getParameter(index));
}

float SynthEditorPlugin::parameterValue(int32_t index)
{
    return getParameter(index);
}

void SynthEditorPlugin::parameterText(int32_t index, char* text)
{
    getParameterDisplay(index, text);
}

void SynthEditorPlugin::changeParameter(int32_t index, float value)
{
    setParameterAutomated(index, value);
}

void SynthEditorPlugin::beginGesture(int32_t index)
{
    beginEdit(index);
}

void SynthEditorPlugin::endGesture(int32_t index)
{
    endEdit(index);
}

void SynthEditorPlugin::idleHost()
{
    masterIdle();
}
