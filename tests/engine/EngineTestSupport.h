// Shared by the engine tests: a seeded engine with program 0 applied, MIDI event lists, and block
// rendering into buffers.
#pragma once

#include "dsp/RandomSource.h"
#include "engine/SynthEngine.h"
#include "engine/SynthVoice.h"
#include "params/ProgramBank.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace enginetest
{
// Parameters moved by MIDI controllers, in order.
class ControllerRecorder : public ControllerListener
{
public:
    void controllerMoved(int32_t index, float value) override { moves.emplace_back(index, value); }
    std::vector<std::pair<int32_t, float>> moves;
};

// The factory bank, for applying stored programs.
inline const ProgramBank& factoryBank()
{
    static const ProgramBank bank = [] {
        ProgramBank b;
        b.loadFactoryPresets();
        return b;
    }();
    return bank;
}

// Applies stored program n (0..7 the factory sounds, the rest 'Init') as a program change does.
inline void selectProgram(SynthEngine& engine, int n)
{
    engine.applyProgram(factoryBank().program(n).fParams);
}

// The voices' noise tables continue the generator, so every test seeds it before building an engine. The
// engine starts as a plug-in does: program 0 applied, every voice reset.
inline std::unique_ptr<SynthEngine> makeEngine(uint32_t seed = 1)
{
    RandomSource::seed(seed);
    auto engine = std::make_unique<SynthEngine>();
    selectProgram(*engine, 0);
    engine->suspend();
    return engine;
}

// MIDI messages with their sample offsets, delivered in order.
class EventList
{
public:
    struct Message
    {
        int deltaFrames;
        int status;
        int data1;
        int data2;
        int detune;
    };

    EventList& midi(int status, int data1, int data2, int deltaFrames = 0, int detune = 0)
    {
        fMessages.push_back({deltaFrames, status, data1, data2, detune});
        return *this;
    }
    EventList& noteOn(int note, int velocity, int deltaFrames = 0, int detune = 0)
    {
        return midi(0x90, note, velocity, deltaFrames, detune);
    }
    EventList& noteOff(int note) { return midi(0x80, note, 64); }
    EventList& controller(int number, int value) { return midi(0xB0, number, value); }
    EventList& pitchBend(int lsb, int msb) { return midi(0xE0, lsb, msb); }

    void sendTo(SynthEngine& engine) const
    {
        for (const Message& m : fMessages)
            engine.midiEvent(m.deltaFrames, static_cast<uint8_t>(m.status), static_cast<uint8_t>(m.data1),
                             static_cast<uint8_t>(m.data2), m.detune);
    }

private:
    std::vector<Message> fMessages;
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

// One block, replacing (or adding to fill), without input.
inline Stereo render(SynthEngine& engine, int frames, bool replace = true, float fill = 0.0f)
{
    Stereo out{std::vector<float>(static_cast<size_t>(frames), fill),
               std::vector<float>(static_cast<size_t>(frames), fill)};
    float* outputs[2] = {out.left.data(), out.right.data()};
    engine.renderBlock(nullptr, outputs, frames, replace);
    return out;
}

inline Stereo renderWithInput(SynthEngine& engine, int frames, float inL, float inR)
{
    std::vector<float> left(static_cast<size_t>(frames), inL);
    std::vector<float> right(static_cast<size_t>(frames), inR);
    const float* inputs[2] = {left.data(), right.data()};
    Stereo out{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
    float* outputs[2] = {out.left.data(), out.right.data()};
    engine.renderBlock(inputs, outputs, frames, true);
    return out;
}

inline SynthVoice& voice(SynthEngine& engine, int i)
{
    return *engine.fVoices[static_cast<size_t>(i)];
}

// Centre of body type k's twelfth, as it is stored.
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
