// The UI library's entry point: the LV2 UI descriptor and its idle interface over Lv2Ui.
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Ui.h"

#include <lv2/ui/ui.h>

#include <cstring>

namespace
{
Lv2Ui* ui(LV2UI_Handle handle)
{
    return static_cast<Lv2Ui*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    return Lv2Ui::create(write, controller, widget, features);
}

void cleanup(LV2UI_Handle handle)
{
    delete ui(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    ui(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
    return ui(handle)->idle();
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri)
{
    if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &kIdleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2uri::kUi, instantiate, cleanup, portEvent, extensionData};
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
