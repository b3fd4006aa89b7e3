// The synthesizer with its editor: creation of the editor and forwarding of parameter changes.
#include "plugin/SynthEditorPlugin.h"

#include "editor/SynthEditor.h"

#include <new>

SynthEditorPlugin::SynthEditorPlugin(audioMasterCallback audioMaster) : SynthPlugin(audioMaster)
{
    setUniqueID(kUniqueId);
    // The editor registers itself with the base (and so sets effFlagsHasEditor); it needs no display.
    fEditor = new (std::nothrow) SynthEditor(this);
}

SynthEditorPlugin::~SynthEditorPlugin()
{
    // The window goes before the synthesizer it shows; the base destroys the editor object itself.
    if (fEditor != nullptr)
        fEditor->close();
}

void SynthEditorPlugin::setParameter(int32_t index, float value)
{
    SynthPlugin::setParameter(index, value);
    if (fEditor != nullptr)
        fEditor->setParameter(index, value);
}
