// Random host sessions: a seeded script of dispatcher calls, parameter changes, MIDI and blocks, and a
// driver that plays such a script into a plug-in library loaded the way hosts load it.
#pragma once

#include "plugin/VstInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace stress
{

enum class StepKind
{
    sampleRate,     // effSetSampleRate (or effSetBlockSizeAndSampleRate) with rate
    program,        // effSetProgram value
    parameter,      // setParameter index, value
    events,         // effProcessEvents with midi
    render,         // process or processReplacing of frames, with the input kind
    suspendResume,  // effMainsChanged 0 then 1
    chunk,          // effGetChunk / effSetChunk round trip or a garbage chunk
    programName,    // effSetProgramName / effGetProgramName / effGetProgramNameIndexed
    copyProgram,    // effCopyProgram
    texts,          // every parameter's name, label and display
    opcode,         // any opcode with odd arguments and a properly sized buffer
};

enum class InputKind
{
    none,   // null input pointers
    zero,
    noise,
    wild,   // noise with NaN, infinities and huge values
};

struct MidiMessage
{
    int32_t deltaFrames = 0;
    unsigned char bytes[3] = {};
    signed char detune = 0;
};

struct Step
{
    StepKind kind = StepKind::render;
    int32_t index = 0;
    intptr_t value = 0;
    float number = 0.0f;
    int32_t frames = 0;
    bool replace = true;
    InputKind input = InputKind::zero;
    std::vector<MidiMessage> midi;
    std::vector<unsigned char> bytes; // chunk contents or a program name
};

// How far from well-formed a session may stray.
enum class Mode
{
    musical, // values in 0..1, valid MIDI, sane rates and blocks: what every host sends
    wild,    // also out-of-range and non-finite values, garbage MIDI and chunks, odd opcodes, huge blocks
};

struct SessionOptions
{
    Mode mode = Mode::musical;
    int steps = 400;
    int maxBlock = 2048;
    // Playing only: stored programs, notes, bends and controllers at 44.1 kHz and above, no automation.
    bool playingOnly = false;
};

std::vector<Step> makeSession(uint32_t seed, const SessionOptions& options);
std::string describe(const Step& step);

// One plug-in instance made from a library, driven step by step; the last rendered block is kept.
class Driver
{
public:
    using EntryPoint = AEffect* (*)(audioMasterCallback);

    explicit Driver(EntryPoint entry);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    bool valid() const { return fEffect != nullptr; }
    void play(const Step& step);
    // The samples of the latest render (left then right) and the texts of the latest steps, for comparison.
    const std::vector<float>& output() const { return fOutput; }
    const std::string& texts() const { return fTexts; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    AEffect* effect() const { return fEffect; }
    // Text buffers the plug-in wrote past this many bytes (a text overrun).
    int overruns() const { return fOverruns; }

private:
    void render(const Step& step);
    void text(int32_t opcode, int32_t index, intptr_t value = 0);

    AEffect* fEffect = nullptr;
    int32_t fMaxBlock = 0;
    std::vector<float> fOutput;
    std::vector<float> fInput;
    std::string fTexts;
    int fOverruns = 0;
};

// A library loaded with dlopen and its entry point; empty reason means it loaded.
struct Library
{
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    void* handle = nullptr;
    Driver::EntryPoint entry = nullptr;
    std::string reason;
};

} // namespace stress
