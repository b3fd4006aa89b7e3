// Shared by the engine tests: a seeded plug-in, MIDI event lists, and block rendering into buffers.
#pragma once

#include "dsp/RandomSource.h"
#include "engine/SynthVoice.h"
#include "plugin/SynthPlugin.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace enginetest
{
// Opcodes the plug-in sent to its host, in order.
inline std::vector<int32_t>& hostCalls()
{
    static std::vector<int32_t> calls;
    return calls;
}

inline intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    hostCalls().push_back(opcode);
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The voices' noise tables continue the generator, so every test seeds it before building a plug-in.
inline std::unique_ptr<SynthPlugin> makePlugin(uint32_t seed = 1)
{
    RandomSource::seed(seed);
    return std::make_unique<SynthPlugin>(recordingHost);
}

// A VstEvents record with any number of MIDI events behind it, as hosts build them.
class EventList
{
public:
    EventList& midi(int status, int data1, int data2, int deltaFrames = 0, int detune = 0)
    {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = deltaFrames;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(data1);
        event.midiData[2] = static_cast<char>(data2);
        event.detune = static_cast<char>(detune);
        fEvents.push_back(event);
        return *this;
    }
    EventList& noteOn(int note, int velocity, int deltaFrames = 0, int detune = 0)
    {
        return midi(0x90, note, velocity, deltaFrames, detune);
    }
    EventList& noteOff(int note) { return midi(0x80, note, 64); }
    EventList& controller(int number, int value) { return midi(0xB0, number, value); }
    EventList& pitchBend(int lsb, int msb) { return midi(0xE0, lsb, msb); }

    VstEvents* get()
    {
        const size_t bytes = sizeof(VstEvents) + fEvents.size() * sizeof(VstEvent*);
        fStorage.assign(bytes / sizeof(std::max_align_t) + 1, std::max_align_t{});
        VstEvents* events = new (fStorage.data()) VstEvents{};
        events->numEvents = static_cast<int32_t>(fEvents.size());
        VstEvent** list = events->events;
        for (size_t i = 0; i < fEvents.size(); i++)
            list[i] = reinterpret_cast<VstEvent*>(&fEvents[i]);
        return events;
    }

    void sendTo(SynthPlugin& plugin) { plugin.processEvents(get()); }

private:
    std::vector<VstMidiEvent> fEvents;
    std::vector<std::max_align_t> fStorage;
};

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;

    void append(const Stereo& other)
    {
        left.insert(left.end(), other.left.begin(), other.left.end());
        right.insert(right.end(), other.right.begin(), other.right.end());
    }
};

// One block through processReplacing (or process, which adds to fill), without input.
inline Stereo render(SynthPlugin& plugin, int frames, bool replace = true, float fill = 0.0f)
{
    Stereo out{std::vector<float>(static_cast<size_t>(frames), fill),
               std::vector<float>(static_cast<size_t>(frames), fill)};
    float* outputs[2] = {out.left.data(), out.right.data()};
    if (replace)
        plugin.processReplacing(nullptr, outputs, frames);
    else
        plugin.process(nullptr, outputs, frames);
    return out;
}

inline Stereo renderWithInput(SynthPlugin& plugin, int frames, float inL, float inR)
{
    std::vector<float> left(static_cast<size_t>(frames), inL);
    std::vector<float> right(static_cast<size_t>(frames), inR);
    float* inputs[2] = {left.data(), right.data()};
    Stereo out{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
    float* outputs[2] = {out.left.data(), out.right.data()};
    plugin.processReplacing(inputs, outputs, frames);
    return out;
}

inline SynthVoice& voice(SynthPlugin& plugin, int i)
{
    return *plugin.fVoices[static_cast<size_t>(i)];
}

// Centre of body type k's twelfth, as the plug-in stores it.
inline float bodyValue(int type)
{
    return (static_cast<float>(type) + 0.5f) / 12.0f;
}

// The parameter value that gives n voices.
inline float polyphonyValue(int n)
{
    return (static_cast<float>(n) - 0.5f) / 7.0f;
}
} // namespace enginetest
