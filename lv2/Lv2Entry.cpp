// The plug-in library's entry point: the LV2 descriptor and the state interface over Lv2Synth.
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Synth.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <cstring>

namespace
{
Lv2Synth* synth(LV2_Handle instance)
{
    return static_cast<Lv2Synth*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
    return Lv2Synth::create(sampleRate, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    synth(instance)->connectPort(port, data);
}

void activate(LV2_Handle instance)
{
    synth(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    synth(instance)->run(frames);
}

void deactivate(LV2_Handle)
{
}

void cleanup(LV2_Handle instance)
{
    delete synth(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*)
{
    return synth(instance)->save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t, const LV2_Feature* const*)
{
    return synth(instance)->restore(retrieve, handle);
}

const LV2_State_Interface kStateInterface = {save, restore};

const void* extensionData(const char* uri)
{
    if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0)
        return &kStateInterface;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    lv2uri::kPlugin, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
