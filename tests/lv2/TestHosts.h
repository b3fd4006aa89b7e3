// Two small hosts for the same sessions: one on lilv that finds the LV2 bundle by its URI, one that loads the
// VST 2.x library with dlopen through VSTPluginMain.
#pragma once

#include "lv2/Lv2Ports.h"
#include "plugin/VstInterface.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace testhost
{

// URIs to numbers and back, for the plug-in and for lilv.
class UridMap
{
public:
    UridMap()
    {
        fMap.handle = this;
        fMap.map = [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<UridMap*>(handle)->map(uri); };
        fUnmap.handle = this;
        fUnmap.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
            return static_cast<UridMap*>(handle)->unmap(urid);
        };
        fMapFeature = {LV2_URID__map, &fMap};
        fUnmapFeature = {LV2_URID__unmap, &fUnmap};
        fFeatures = {&fMapFeature, &fUnmapFeature, nullptr};
    }
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    LV2_URID map(const char* uri)
    {
        for (size_t i = 0; i < fUris.size(); i++)
            if (fUris[i] == uri)
                return static_cast<LV2_URID>(i + 1);
        fUris.emplace_back(uri);
        return static_cast<LV2_URID>(fUris.size());
    }
    const char* unmap(LV2_URID urid) const
    {
        return urid >= 1 && urid <= fUris.size() ? fUris[urid - 1].c_str() : nullptr;
    }

    LV2_URID_Map* lv2Map() { return &fMap; }
    LV2_URID_Unmap* lv2Unmap() { return &fUnmap; }
    const LV2_Feature* const* features() const { return fFeatures.data(); }

private:
    std::vector<std::string> fUris;
    LV2_URID_Map fMap{};
    LV2_URID_Unmap fUnmap{};
    LV2_Feature fMapFeature{};
    LV2_Feature fUnmapFeature{};
    std::array<const LV2_Feature*, 3> fFeatures{};
};

// The lilv world over the build's bundle folder only, and the plug-in found in it by URI.
class LilvHost
{
public:
    LilvHost()
    {
        setenv("LV2_PATH", ZENTHARODE_LV2_BUNDLES, 1);
        fWorld = lilv_world_new();
        lilv_world_load_all(fWorld);
        LilvNode* uri = lilv_new_uri(fWorld, lv2uri::kPlugin);
        fPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(fWorld), uri);
        lilv_node_free(uri);
    }
    ~LilvHost() { lilv_world_free(fWorld); }
    LilvHost(const LilvHost&) = delete;
    LilvHost& operator=(const LilvHost&) = delete;

    LilvWorld* world() const { return fWorld; }
    const LilvPlugin* plugin() const { return fPlugin; }
    LilvNode* uri(const char* text) const { return lilv_new_uri(fWorld, text); }

private:
    LilvWorld* fWorld = nullptr;
    const LilvPlugin* fPlugin = nullptr;
};

// An atom sequence of MIDI events for one cycle, built in place.
class MidiSequence
{
public:
    explicit MidiSequence(LV2_URID sequenceType, LV2_URID midiType) : fSequenceType(sequenceType), fMidiType(midiType)
    {
        clear();
    }
    void clear()
    {
        fWords.assign(kCapacityWords, 0);
        auto* seq = sequence();
        seq->atom.type = fSequenceType;
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    }
    void add(int64_t frame, const uint8_t* bytes, uint32_t size)
    {
        auto* seq = sequence();
        auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(&seq->body) + seq->atom.size);
        event->time.frames = frame;
        event->body.type = fMidiType;
        event->body.size = size;
        std::memcpy(event + 1, bytes, size);
        seq->atom.size += static_cast<uint32_t>(lv2_atom_pad_size(sizeof(LV2_Atom_Event) + size));
    }
    LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(fWords.data()); }

private:
    static constexpr size_t kCapacityWords = 4096;
    LV2_URID fSequenceType;
    LV2_URID fMidiType;
    std::vector<uint64_t> fWords;
};

// One LV2 instance with every port connected to a buffer of its own.
class Lv2Instance
{
public:
    static constexpr uint32_t kMaxFrames = 4096;
    static constexpr uint32_t kNotifyBytes = 8192;

    Lv2Instance(LilvHost& host, UridMap& urids, double rate)
        : fMidi(urids.map(LV2_ATOM__Sequence), urids.map(LV2_MIDI__MidiEvent))
    {
        fInstance = lilv_plugin_instantiate(host.plugin(), rate, urids.features());
        if (fInstance == nullptr)
            return;
        for (uint32_t i = 0; i < kNumParams; i++)
        {
            LilvNode* def = nullptr;
            lilv_port_get_range(host.plugin(), lilv_plugin_get_port_by_index(host.plugin(), i), &def, nullptr, nullptr);
            fControls[i] = def != nullptr ? lilv_node_as_float(def) : 0.0f;
            lilv_node_free(def);
            lilv_instance_connect_port(fInstance, i, &fControls[i]);
        }
        for (auto& buffer : fAudio)
            buffer.assign(kMaxFrames, 0.0f);
        fNotify.assign(kNotifyBytes / sizeof(uint64_t), 0);
        lilv_instance_connect_port(fInstance, lv2port::kMidiIn, fMidi.sequence());
        lilv_instance_connect_port(fInstance, lv2port::kAudioInLeft, fAudio[0].data());
        lilv_instance_connect_port(fInstance, lv2port::kAudioInRight, fAudio[1].data());
        lilv_instance_connect_port(fInstance, lv2port::kAudioOutLeft, fAudio[2].data());
        lilv_instance_connect_port(fInstance, lv2port::kAudioOutRight, fAudio[3].data());
        lilv_instance_connect_port(fInstance, lv2port::kNotify, fNotify.data());
        lilv_instance_activate(fInstance);
    }
    ~Lv2Instance()
    {
        if (fInstance != nullptr)
        {
            lilv_instance_deactivate(fInstance);
            lilv_instance_free(fInstance);
        }
    }
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool valid() const { return fInstance != nullptr; }
    LilvInstance* instance() const { return fInstance; }
    float& control(int32_t index) { return fControls[static_cast<size_t>(index)]; }
    MidiSequence& midi() { return fMidi; }
    float* input(int channel) { return fAudio[static_cast<size_t>(channel)].data(); }
    const float* output(int channel) const { return fAudio[static_cast<size_t>(2 + channel)].data(); }
    const LV2_Atom_Sequence* notify() const { return reinterpret_cast<const LV2_Atom_Sequence*>(fNotify.data()); }

    // One cycle: the MIDI sequence as filled, then emptied for the next.
    void run(uint32_t frames)
    {
        auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(fNotify.data());
        notify->atom.type = 0;
        notify->atom.size = kNotifyBytes - sizeof(LV2_Atom);
        lilv_instance_run(fInstance, frames);
        fMidi.clear();
    }

    const LV2_State_Interface* state() const
    {
        return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(fInstance, LV2_STATE__interface));
    }

private:
    LilvInstance* fInstance = nullptr;
    std::array<float, kNumParams> fControls{};
    std::array<std::vector<float>, 4> fAudio;
    std::vector<uint64_t> fNotify;
    MidiSequence fMidi;
};

// The VST 2.x library, loaded as hosts load it.
class VstLibrary
{
public:
    VstLibrary() : fHandle(dlopen(ZENTHARODE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~VstLibrary()
    {
        if (fHandle != nullptr)
            dlclose(fHandle);
    }
    VstLibrary(const VstLibrary&) = delete;
    VstLibrary& operator=(const VstLibrary&) = delete;

    AEffect* create() const
    {
        if (fHandle == nullptr)
            return nullptr;
        auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(fHandle, "VSTPluginMain"));
        return entry != nullptr ? entry(host) : nullptr;
    }

private:
    static intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
    {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    void* fHandle;
};

// One VST 2.x instance started as a host starts it: rate, block size, resume.
class VstInstance
{
public:
    VstInstance(const VstLibrary& library, float rate) : fEffect(library.create())
    {
        if (fEffect == nullptr)
            return;
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, Lv2Instance::kMaxFrames);
        dispatch(effMainsChanged, 0, 1);
        for (auto& buffer : fAudio)
            buffer.assign(Lv2Instance::kMaxFrames, 0.0f);
        fEvents.resize(2 + 256);
    }
    ~VstInstance()
    {
        if (fEffect == nullptr)
            return;
        dispatch(effMainsChanged, 0, 0);
        dispatch(effClose);
    }
    VstInstance(const VstInstance&) = delete;
    VstInstance& operator=(const VstInstance&) = delete;

    bool valid() const { return fEffect != nullptr; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return fEffect->dispatcher(fEffect, opcode, index, value, ptr, opt);
    }
    void setParameter(int32_t index, float value) { fEffect->setParameter(fEffect, index, value); }
    float getParameter(int32_t index) { return fEffect->getParameter(fEffect, index); }
    std::string text(int32_t opcode, int32_t index)
    {
        char buffer[256] = {};
        dispatch(opcode, index, 0, buffer);
        return buffer;
    }

    void addMidi(int32_t frame, const uint8_t* bytes, uint32_t size)
    {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof event;
        event.deltaFrames = frame;
        for (uint32_t i = 0; i < size && i < 3; i++)
            event.midiData[i] = static_cast<char>(bytes[i]);
        fMidi.push_back(event);
    }
    float* input(int channel) { return fAudio[static_cast<size_t>(channel)].data(); }
    const float* output(int channel) const { return fAudio[static_cast<size_t>(2 + channel)].data(); }

    // One block: the events as added, then processReplacing.
    void run(int32_t frames)
    {
        if (!fMidi.empty())
        {
            // VstEvents ends in a pointer array that the host sizes.
            fEvents.assign(2 + fMidi.size(), 0);
            auto* list = reinterpret_cast<VstEvents*>(fEvents.data());
            list->numEvents = static_cast<int32_t>(fMidi.size());
            for (size_t i = 0; i < fMidi.size(); i++)
                list->events[i] = reinterpret_cast<VstEvent*>(&fMidi[i]);
            dispatch(effProcessEvents, 0, 0, list);
        }
        float* inputs[2] = {input(0), input(1)};
        float* outputs[2] = {fAudio[2].data(), fAudio[3].data()};
        fEffect->processReplacing(fEffect, inputs, outputs, frames);
        fMidi.clear();
    }

private:
    AEffect* fEffect = nullptr;
    std::array<std::vector<float>, 4> fAudio;
    std::vector<VstMidiEvent> fMidi;
    std::vector<intptr_t> fEvents;
};

} // namespace testhost
