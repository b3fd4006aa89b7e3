// The library's entry points: the host calls one of them once with its callback and gets the effect record.
#include "plugin/SynthPlugin.h"
#if ZENTHARODE_WITH_EDITOR
#include "plugin/SynthEditorPlugin.h"
#endif

#include <new>

namespace
{
AEffect* createEffect(audioMasterCallback audioMaster)
{
    // Without a callback there is no host to ask for its version: nothing is created.
    if (audioMaster == nullptr)
        return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try
    {
#if ZENTHARODE_WITH_EDITOR
        auto* plugin = new SynthEditorPlugin(audioMaster);
        if (!plugin->hasEditor())
        {
            delete plugin;
            return nullptr;
        }
#else
        auto* plugin = new SynthPlugin(audioMaster);
#endif
        return plugin->getAeffect();
    }
    catch (...) // no exception may cross into the host
    {
        return nullptr;
    }
}
} // namespace

extern "C"
{
__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster);
// A C++ function cannot be called main unless it returns int; the symbol is all a host looks for.
__attribute__((visibility("default"))) AEffect* mainEntry(audioMasterCallback audioMaster) __asm__("main");

AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    return createEffect(audioMaster);
}

AEffect* mainEntry(audioMasterCallback audioMaster)
{
    return createEffect(audioMaster);
}
}
