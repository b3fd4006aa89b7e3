// The editor as an LV2 X11 UI: the same window as the VST 2.x build's, in the host's parent window, with
// an editor controller of its own that talks to the plug-in through port writes and port events.
#pragma once

#include "editor/EditorController.h"
#include "params/Parameters.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <memory>

class SynthEditor;

// All on the host's UI thread.
class Lv2Ui : public EditorController
{
public:
    // Null without a parent window or URID map, or when the window cannot be opened; *widget is the editor's
    // X11 window.
    static Lv2Ui* create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features);
    ~Lv2Ui() override;
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // A control port's value (format 0), or a controller move on the notify port (atom event transfer).
    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // Takes the window's events and redraws what changed; 0 while the window is open.
    int idle();

    // EditorController
    float parameterValue(int32_t index) override;
    void parameterText(int32_t index, char* text) override;
    void changeParameter(int32_t index, float value) override;
    void beginGesture(int32_t index) override;
    void endGesture(int32_t index) override;
    void idleHost() override {}

private:
    struct Uris
    {
        LV2_URID eventTransfer = 0;
        LV2_URID object = 0;
        LV2_URID integer = 0;
        LV2_URID real = 0;
        LV2_URID controllerMove = 0;
        LV2_URID parameterIndex = 0;
        LV2_URID parameterValue = 0;
    };

    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, LV2_URID_Map* map, const LV2UI_Touch* touch);
    void receiveMove(const void* atom, uint32_t size);
    void setValue(int32_t index, float value);

    LV2UI_Write_Function fWrite = nullptr;
    LV2UI_Controller fController = nullptr;
    const LV2UI_Touch* fTouch = nullptr;
    Uris fUris;
    // The values as the plug-in keeps them, from the port events and the controller moves.
    std::array<float, kNumParams> fValues{};
    std::unique_ptr<SynthEditor> fEditor;
};
