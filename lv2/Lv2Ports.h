// The LV2 front end's port table and URIs, shared by the plug-in, its UI and the Turtle generator.
#pragma once

#include "params/Parameters.h"

#include <lv2/core/lv2.h>

#include <cstdint>
#include <cstring>

namespace lv2port
{
// Ports 0..37 are the parameters, each at its parameter index; the rest follow them.
constexpr uint32_t kFirstParameter = 0;
constexpr uint32_t kMidiIn = kNumParams;
constexpr uint32_t kAudioInLeft = kMidiIn + 1;
constexpr uint32_t kAudioInRight = kMidiIn + 2;
constexpr uint32_t kAudioOutLeft = kMidiIn + 3;
constexpr uint32_t kAudioOutRight = kMidiIn + 4;
// Parameter moves made by MIDI controllers inside the plug-in, for the UI.
constexpr uint32_t kNotify = kMidiIn + 5;
constexpr uint32_t kNumPorts = kNotify + 1;

constexpr bool isParameter(uint32_t port)
{
    return port < static_cast<uint32_t>(kNumParams);
}
} // namespace lv2port

namespace lv2uri
{
#define ZENTHARODE_LV2_URI "urn:zentharode:synth"
constexpr const char* kPlugin = ZENTHARODE_LV2_URI;
constexpr const char* kUi = ZENTHARODE_LV2_URI "#ui";
// State: the 32 records as the 5632-byte bank image, and the current program's number.
constexpr const char* kStateBank = ZENTHARODE_LV2_URI "#bank";
constexpr const char* kStateProgram = ZENTHARODE_LV2_URI "#program";
// Notification object: a mapped MIDI controller moved parameter index to value.
constexpr const char* kControllerMove = ZENTHARODE_LV2_URI "#ControllerMove";
constexpr const char* kParameterIndex = ZENTHARODE_LV2_URI "#parameterIndex";
constexpr const char* kParameterValue = ZENTHARODE_LV2_URI "#parameterValue";
// Factory presets are named after their program number.
constexpr const char* kPresetPrefix = ZENTHARODE_LV2_URI ":preset:";
#undef ZENTHARODE_LV2_URI

// The bundle's binaries.
constexpr const char* kDspBinary = "zentharode.so";
constexpr const char* kUiBinary = "zentharode_ui.so";
} // namespace lv2uri

// The data of the host's feature with the given URI, or null.
inline const void* findFeature(const LV2_Feature* const* features, const char* uri)
{
    if (features == nullptr)
        return nullptr;
    for (const LV2_Feature* const* f = features; *f != nullptr; f++)
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0)
            return (*f)->data;
    return nullptr;
}
