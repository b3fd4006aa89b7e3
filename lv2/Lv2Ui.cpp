// The LV2 UI: the editor in the host's window, port writes for the user's changes, port events and the
// notify port's controller moves for everything else.
#include "lv2/Lv2Ui.h"

#include "editor/SynthEditor.h"
#include "lv2/Lv2Ports.h"
#include "lv2/PortTable.h"
#include "params/ParameterApplication.h"
#include "params/ParameterText.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include <cstring>


Lv2Ui* Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features)
{
    void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(findFeature(features, LV2_URID__map)));
    if (parent == nullptr || map == nullptr || map->map == nullptr || write == nullptr || widget == nullptr)
        return nullptr;
    const auto* touch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
    std::unique_ptr<Lv2Ui> ui;
    try
    {
        ui.reset(new Lv2Ui(write, controller, map, touch));
        if (!ui->fEditor->open(parent))
            return nullptr;
    }
    catch (...)
    {
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->fEditor->getFrame()->windowId()));
    // The window has one size; a host that can be told so is told.
    if (const auto* resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize)))
        if (resize->ui_resize != nullptr)
            resize->ui_resize(resize->handle, ui->fEditor->width(), ui->fEditor->height());
    return ui.release();
}

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, LV2_URID_Map* map, const LV2UI_Touch* touch)
    : fWrite(write), fController(controller), fTouch(touch)
{
    fUris.eventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
    fUris.object = map->map(map->handle, LV2_ATOM__Object);
    fUris.integer = map->map(map->handle, LV2_ATOM__Int);
    fUris.real = map->map(map->handle, LV2_ATOM__Float);
    fUris.controllerMove = map->map(map->handle, lv2uri::kControllerMove);
    fUris.parameterIndex = map->map(map->handle, lv2uri::kParameterIndex);
    fUris.parameterValue = map->map(map->handle, lv2uri::kParameterValue);
    // The plug-in's values at start, until the host tells the ports' values.
    const std::array<float, kNumParams> start = startValues();
    fValues = start;
    fEditor = std::make_unique<SynthEditor>(this);
}

Lv2Ui::~Lv2Ui()
{
    // The window goes before the values it shows.
    fEditor.reset();
}

void Lv2Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (buffer == nullptr)
        return;
    if (format == 0 && lv2port::isParameter(port) && size == sizeof(float))
    {
        float value = 0.0f;
        std::memcpy(&value, buffer, sizeof value);
        setValue(static_cast<int32_t>(port), value);
    }
    else if (port == lv2port::kNotify && format == fUris.eventTransfer)
    {
        receiveMove(buffer, size);
    }
}

void Lv2Ui::receiveMove(const void* buffer, uint32_t size)
{
    if (size < sizeof(LV2_Atom_Object))
        return;
    const auto* object = static_cast<const LV2_Atom_Object*>(buffer);
    if (object->atom.type != fUris.object || object->body.otype != fUris.controllerMove
        || sizeof(LV2_Atom) + object->atom.size > size)
        return;
    const LV2_Atom* index = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(object, fUris.parameterIndex, &index, fUris.parameterValue, &value, 0);
    if (index == nullptr || value == nullptr || index->type != fUris.integer || value->type != fUris.real)
        return;
    const int32_t parameter = reinterpret_cast<const LV2_Atom_Int*>(index)->body;
    if (parameter < 0 || parameter >= kNumParams)
        return;
    setValue(parameter, reinterpret_cast<const LV2_Atom_Float*>(value)->body);
}

void Lv2Ui::setValue(int32_t index, float value)
{
    fValues[static_cast<size_t>(index)] = storedParameterValue(index, value);
    fEditor->setParameter(index, value);
}

int Lv2Ui::idle()
{
    fEditor->idle();
    return fEditor->isOpen() ? 0 : 1;
}

float Lv2Ui::parameterValue(int32_t index)
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return fValues[static_cast<size_t>(index)];
}

void Lv2Ui::parameterText(int32_t index, char* text)
{
    parameterDisplay(index, fValues.data(), text);
}

void Lv2Ui::changeParameter(int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    setValue(index, value);
    fWrite(fController, static_cast<uint32_t>(index), sizeof value, 0, &value);
}

void Lv2Ui::beginGesture(int32_t index)
{
    if (fTouch != nullptr && fTouch->touch != nullptr && index >= 0 && index < kNumParams)
        fTouch->touch(fTouch->handle, static_cast<uint32_t>(index), true);
}

void Lv2Ui::endGesture(int32_t index)
{
    if (index < 0 || index >= kNumParams)
        return;
    if (fTouch != nullptr && fTouch->touch != nullptr)
        fTouch->touch(fTouch->handle, static_cast<uint32_t>(index), false);
}
