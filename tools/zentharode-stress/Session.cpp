// Random host sessions and the driver that plays them into a plug-in library.
#include "Session.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>

namespace stress
{

namespace
{

constexpr int32_t kParams = 38;
constexpr int32_t kPrograms = 32;
constexpr int kPresetBytes = 176;
constexpr int kBankBytes = kPresetBytes * kPrograms;
constexpr int kTextBuffer = 512;      // what a generous host hands over for a text
constexpr unsigned char kUnwritten = 0xA5;
constexpr float kSampleRates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f, 22050.0f, 11025.0f, 8000.0f};
constexpr int kPlayingRates = 5; // the first five: 44.1 kHz and above
constexpr int kMappedControllers[] = {1, 105, 106, 107, 126, 7, 64, 2};

class Dice
{
public:
    explicit Dice(uint32_t seed) : fEngine(seed) {}
    int upTo(int n) { return static_cast<int>(fEngine() % static_cast<uint32_t>(n)); } // 0..n-1
    bool chance(int percent) { return upTo(100) < percent; }
    float unit() { return static_cast<float>(fEngine() >> 8) * (1.0f / 16777216.0f); }
    uint32_t bits() { return fEngine(); }

private:
    std::mt19937 fEngine;
};

float wildValue(Dice& dice)
{
    switch (dice.upTo(9))
    {
    case 0: return std::numeric_limits<float>::quiet_NaN();
    case 1: return std::numeric_limits<float>::infinity();
    case 2: return -std::numeric_limits<float>::infinity();
    case 3: return std::numeric_limits<float>::max() * (dice.chance(50) ? 1.0f : -1.0f);
    case 4: return std::numeric_limits<float>::denorm_min() * static_cast<float>(dice.upTo(1000));
    case 5: return dice.unit() * 40.0f - 20.0f;
    case 6: return -dice.unit();
    case 7: return 1.0f + dice.unit() * 1e-3f;
    default:
    {
        const uint32_t b = dice.bits();
        float f;
        std::memcpy(&f, &b, sizeof f);
        return f;
    }
    }
}

MidiMessage musicalMidi(Dice& dice, int frames)
{
    MidiMessage m;
    m.deltaFrames = frames > 0 ? dice.upTo(frames) : 0;
    const unsigned char channel = static_cast<unsigned char>(dice.upTo(16));
    const int kind = dice.upTo(20);
    if (kind < 9)
    {
        m.bytes[0] = 0x90 | channel;
        m.bytes[1] = static_cast<unsigned char>(24 + dice.upTo(84));
        m.bytes[2] = static_cast<unsigned char>(dice.chance(10) ? 0 : 1 + dice.upTo(127));
        if (dice.chance(20))
            m.detune = static_cast<signed char>(dice.upTo(128) - 64);
    }
    else if (kind < 15)
    {
        m.bytes[0] = 0x80 | channel;
        m.bytes[1] = static_cast<unsigned char>(24 + dice.upTo(84));
        m.bytes[2] = static_cast<unsigned char>(dice.upTo(128));
    }
    else if (kind < 17)
    {
        m.bytes[0] = 0xE0 | channel;
        m.bytes[1] = static_cast<unsigned char>(dice.upTo(128));
        m.bytes[2] = static_cast<unsigned char>(dice.upTo(128));
    }
    else if (kind < 19)
    {
        m.bytes[0] = 0xB0 | channel;
        m.bytes[1] = static_cast<unsigned char>(kMappedControllers[dice.upTo(std::size(kMappedControllers))]);
        if (m.bytes[1] == 126 && dice.chance(70))
            m.bytes[1] = 1; // all-off is rare in real play
        m.bytes[2] = static_cast<unsigned char>(dice.upTo(128));
    }
    else
    {
        m.bytes[0] = static_cast<unsigned char>(0xA0 + 0x10 * dice.upTo(2)) | channel; // pressure, program
        m.bytes[1] = static_cast<unsigned char>(dice.upTo(128));
        m.bytes[2] = static_cast<unsigned char>(dice.upTo(128));
    }
    return m;
}

MidiMessage wildMidi(Dice& dice, int frames)
{
    MidiMessage m = musicalMidi(dice, frames);
    if (dice.chance(50))
        for (unsigned char& b : m.bytes)
            b = static_cast<unsigned char>(dice.bits());
    const int offset = dice.upTo(6);
    m.deltaFrames = offset == 0 ? -dice.upTo(100000) : (offset == 1 ? frames + dice.upTo(100000) : m.deltaFrames);
    m.detune = static_cast<signed char>(dice.bits());
    return m;
}

} // namespace

std::vector<Step> makeSession(uint32_t seed, const SessionOptions& options)
{
    Dice dice(seed);
    const bool wild = options.mode == Mode::wild;
    std::vector<Step> steps;
    steps.reserve(static_cast<size_t>(options.steps));
    auto add = [&](Step s) { steps.push_back(std::move(s)); };

    const int rates = options.playingOnly ? kPlayingRates : static_cast<int>(std::size(kSampleRates));
    Step rate;
    rate.kind = StepKind::sampleRate;
    rate.number = kSampleRates[dice.upTo(rates)];
    add(rate);
    Step program;
    program.kind = StepKind::program;
    program.value = dice.upTo(kPrograms);
    add(program);

    int blockSize = 1 + dice.upTo(options.maxBlock);
    while (static_cast<int>(steps.size()) < options.steps)
    {
        int roll = dice.upTo(100);
        // Playing only: parameters, rates and chunks give way to more notes.
        if (options.playingOnly && ((roll >= 70 && roll < 88) || (roll >= 93 && roll < 97)))
            roll = 50;
        Step s;
        if (roll < 45)
        {
            s.kind = StepKind::render;
            if (dice.chance(5))
                blockSize = 1 + dice.upTo(options.maxBlock);
            s.frames = dice.chance(3) ? 0 : (dice.chance(70) ? blockSize : 1 + dice.upTo(blockSize));
            s.replace = dice.chance(80);
            const int input = dice.upTo(10);
            s.input = input < 5 ? InputKind::zero : (input < 7 ? InputKind::none : InputKind::noise);
            if (wild && dice.chance(20))
                s.input = InputKind::wild;
        }
        else if (roll < 70)
        {
            s.kind = StepKind::events;
            const int count = dice.chance(30) ? 0 : 1 + dice.upTo(dice.chance(10) ? 64 : 6);
            for (int i = 0; i < count; i++)
                s.midi.push_back(wild && dice.chance(30) ? wildMidi(dice, blockSize) : musicalMidi(dice, blockSize));
        }
        else if (roll < 88)
        {
            s.kind = StepKind::parameter;
            s.index = wild && dice.chance(5) ? dice.upTo(200) - 50 : dice.upTo(kParams);
            s.number = wild && dice.chance(30) ? wildValue(dice) : dice.unit();
            if (!wild && dice.chance(10))
                s.number = static_cast<float>(dice.upTo(2)); // the ends of the range
        }
        else if (roll < 91)
        {
            s.kind = StepKind::program;
            s.value = wild && dice.chance(20) ? dice.upTo(100) - 30 : dice.upTo(kPrograms);
        }
        else if (roll < 93)
        {
            s.kind = StepKind::suspendResume;
        }
        else if (roll < 95)
        {
            s.kind = StepKind::sampleRate;
            s.number = wild && dice.chance(30) ? wildValue(dice) : kSampleRates[dice.upTo(rates)];
            s.index = dice.upTo(2); // 1: through effSetBlockSizeAndSampleRate
            s.value = blockSize;
        }
        else if (roll < 97)
        {
            s.kind = StepKind::chunk;
            s.index = dice.upTo(2); // preset or bank
            s.value = dice.upTo(wild ? 4 : 1); // 0 round trip, 1 garbage of the right size, 2 wrong size, 3 null
            if (s.value == 1)
            {
                s.bytes.resize(static_cast<size_t>(s.index != 0 ? kPresetBytes : kBankBytes));
                for (unsigned char& b : s.bytes)
                    b = static_cast<unsigned char>(dice.bits());
            }
            else if (s.value == 2)
            {
                s.bytes.resize(static_cast<size_t>(dice.upTo(kBankBytes + 100)));
            }
        }
        else if (roll < 98)
        {
            s.kind = StepKind::programName;
            const int length = dice.upTo(wild ? 300 : 24);
            for (int i = 0; i < length; i++)
                s.bytes.push_back(static_cast<unsigned char>(wild ? 1 + dice.upTo(255) : 'a' + dice.upTo(26)));
            s.bytes.push_back(0);
            s.index = dice.upTo(wild ? 100 : kPrograms);
        }
        else if (roll < 99)
        {
            s.kind = StepKind::copyProgram;
            s.index = wild ? dice.upTo(100) - 30 : dice.upTo(kPrograms);
        }
        else
        {
            s.kind = wild && dice.chance(50) ? StepKind::opcode : StepKind::texts;
            s.index = dice.upTo(80) - 10;
            s.value = dice.chance(50) ? dice.upTo(64) : static_cast<intptr_t>(dice.bits());
            s.number = wild ? wildValue(dice) : dice.unit();
            s.frames = dice.upTo(80); // the opcode
        }
        add(std::move(s));
    }
    return steps;
}

std::string describe(const Step& s)
{
    char text[256];
    switch (s.kind)
    {
    case StepKind::sampleRate:
        std::snprintf(text, sizeof text, "%s rate %g", s.index != 0 ? "effSetBlockSizeAndSampleRate" : "effSetSampleRate",
                      static_cast<double>(s.number));
        return text;
    case StepKind::program:
        std::snprintf(text, sizeof text, "effSetProgram %ld", static_cast<long>(s.value));
        return text;
    case StepKind::parameter:
        std::snprintf(text, sizeof text, "setParameter(%d, %.9g)", s.index, static_cast<double>(s.number));
        return text;
    case StepKind::events:
    {
        std::string all = "effProcessEvents";
        for (const MidiMessage& m : s.midi)
        {
            std::snprintf(text, sizeof text, " [%d: %02x %02x %02x d%d]", m.deltaFrames, m.bytes[0], m.bytes[1],
                          m.bytes[2], m.detune);
            all += text;
        }
        return all;
    }
    case StepKind::render:
        std::snprintf(text, sizeof text, "%s %d frames, input %d", s.replace ? "processReplacing" : "process",
                      s.frames, static_cast<int>(s.input));
        return text;
    case StepKind::suspendResume:
        return "effMainsChanged 0, 1";
    case StepKind::chunk:
        std::snprintf(text, sizeof text, "chunk %s, kind %ld, %zu bytes", s.index != 0 ? "preset" : "bank",
                      static_cast<long>(s.value), s.bytes.size());
        return text;
    case StepKind::programName:
        std::snprintf(text, sizeof text, "program name of %zu bytes, then names of program %d", s.bytes.size(),
                      s.index);
        return text;
    case StepKind::copyProgram:
        std::snprintf(text, sizeof text, "effCopyProgram %d", s.index);
        return text;
    case StepKind::texts:
        return "every parameter's texts";
    case StepKind::opcode:
        std::snprintf(text, sizeof text, "opcode %d index %d value %ld opt %g", s.frames, s.index,
                      static_cast<long>(s.value), static_cast<double>(s.number));
        return text;
    }
    return "?";
}

namespace
{
intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// Opcodes a host never sends with arbitrary arguments: they destroy the object, open windows or need
// records of their own.
bool unsafeOpcode(int32_t opcode)
{
    return opcode == effClose || opcode == effEditOpen || opcode == effProcessEvents || opcode == effGetChunk
           || opcode == effSetChunk;
}

// The largest text each opcode may write, terminator included.
size_t textLimit(int32_t opcode)
{
    switch (opcode)
    {
    case effGetEffectName: return 32;
    case effGetVendorString:
    case effGetProductString: return 64;
    default: return 24;
    }
}
} // namespace

Driver::Driver(EntryPoint entry)
{
    fEffect = entry != nullptr ? entry(quietHost) : nullptr;
    if (fEffect == nullptr)
        return;
    dispatch(effOpen);
    dispatch(effMainsChanged, 0, 1);
}

Driver::~Driver()
{
    if (fEffect == nullptr)
        return;
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
}

intptr_t Driver::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return fEffect->dispatcher(fEffect, opcode, index, value, ptr, opt);
}

void Driver::text(int32_t opcode, int32_t index, intptr_t value)
{
    unsigned char buffer[kTextBuffer];
    std::memset(buffer, kUnwritten, sizeof buffer);
    const intptr_t reply = dispatch(opcode, index, value, buffer);
    size_t written = sizeof buffer;
    while (written > 0 && buffer[written - 1] == kUnwritten)
        written--;
    if (written > textLimit(opcode))
        fOverruns++;
    fTexts += std::to_string(reply) + ":";
    for (size_t i = 0; i < written && buffer[i] != 0; i++)
        fTexts += static_cast<char>(buffer[i]);
    fTexts += '|';
}

void Driver::render(const Step& s)
{
    const int32_t frames = s.frames;
    const size_t size = static_cast<size_t>(std::max(frames, 1));
    if (fOutput.size() < 2 * size)
        fOutput.resize(2 * size);
    if (fInput.size() < 2 * size)
        fInput.resize(2 * size);
    std::fill(fOutput.begin(), fOutput.end(), 0.0f);
    uint32_t noise = static_cast<uint32_t>(frames) * 2654435761u;
    for (size_t i = 0; i < 2 * size; i++)
    {
        noise = noise * 1664525u + 1013904223u;
        float v = 0.0f;
        if (s.input == InputKind::noise || s.input == InputKind::wild)
            v = (static_cast<float>(noise >> 9) / 8388608.0f - 1.0f) * 0.01f;
        if (s.input == InputKind::wild && (noise & 0xFF) == 0)
        {
            const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(), 3e38f, -1e30f, 1e5f};
            v = specials[(noise >> 8) % std::size(specials)];
        }
        fInput[i] = v;
    }
    float* inputs[2] = {fInput.data(), fInput.data() + size};
    float* outputs[2] = {fOutput.data(), fOutput.data() + size};
    float** in = s.input == InputKind::none ? nullptr : inputs;
    if (s.replace)
        fEffect->processReplacing(fEffect, in, outputs, frames);
    else
        fEffect->process(fEffect, in, outputs, frames);
    fOutput.resize(2 * static_cast<size_t>(std::max(frames, 0)));
}

void Driver::play(const Step& s)
{
    fTexts.clear();
    switch (s.kind)
    {
    case StepKind::sampleRate:
        if (s.index != 0)
            dispatch(effSetBlockSizeAndSampleRate, 0, s.value, nullptr, s.number);
        else
            dispatch(effSetSampleRate, 0, 0, nullptr, s.number);
        break;
    case StepKind::program:
        dispatch(effSetProgram, 0, s.value);
        break;
    case StepKind::parameter:
        fEffect->setParameter(fEffect, s.index, s.number);
        fTexts = std::to_string(fEffect->getParameter(fEffect, s.index));
        text(effGetParamDisplay, s.index);
        break;
    case StepKind::events:
    {
        std::vector<VstMidiEvent> events(s.midi.size());
        std::vector<VstEvent*> list(std::max<size_t>(s.midi.size(), 2), nullptr);
        for (size_t i = 0; i < s.midi.size(); i++)
        {
            VstMidiEvent& e = events[i];
            e.type = kVstMidiType;
            e.byteSize = sizeof(VstMidiEvent);
            e.deltaFrames = s.midi[i].deltaFrames;
            for (int b = 0; b < 3; b++)
                e.midiData[b] = static_cast<char>(s.midi[i].bytes[b]);
            e.detune = static_cast<char>(s.midi[i].detune);
            list[i] = reinterpret_cast<VstEvent*>(&e);
        }
        // VstEvents declares two entries; a host allocates as many as it sends.
        std::vector<unsigned char> record(sizeof(VstEvents) + list.size() * sizeof(VstEvent*));
        auto* header = reinterpret_cast<VstEvents*>(record.data());
        header->numEvents = static_cast<int32_t>(s.midi.size());
        std::memcpy(record.data() + offsetof(VstEvents, events), list.data(), list.size() * sizeof(VstEvent*));
        dispatch(effProcessEvents, 0, 0, header);
        break;
    }
    case StepKind::render:
        render(s);
        break;
    case StepKind::suspendResume:
        dispatch(effMainsChanged, 0, 0);
        dispatch(effMainsChanged, 0, 1);
        break;
    case StepKind::chunk:
    {
        const bool preset = s.index != 0;
        if (s.value == 0)
        {
            void* data = nullptr;
            const intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
            std::vector<unsigned char> copy;
            if (data != nullptr && size > 0 && size <= kBankBytes)
                copy.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
            fTexts = std::to_string(dispatch(effSetChunk, preset ? 1 : 0, static_cast<intptr_t>(copy.size()),
                                             copy.empty() ? nullptr : copy.data()));
        }
        else if (s.value == 3)
        {
            fTexts = std::to_string(dispatch(effSetChunk, preset ? 1 : 0, kPresetBytes, nullptr));
        }
        else
        {
            std::vector<unsigned char> copy = s.bytes;
            fTexts = std::to_string(dispatch(effSetChunk, preset ? 1 : 0, static_cast<intptr_t>(copy.size()),
                                             copy.empty() ? nullptr : copy.data()));
        }
        break;
    }
    case StepKind::programName:
    {
        std::vector<unsigned char> name = s.bytes;
        dispatch(effSetProgramName, 0, 0, name.data());
        text(effGetProgramName, 0);
        text(effGetProgramNameIndexed, s.index);
        break;
    }
    case StepKind::copyProgram:
        fTexts = std::to_string(dispatch(effCopyProgram, s.index));
        break;
    case StepKind::texts:
        for (int32_t i = -1; i <= kParams; i++)
        {
            text(effGetParamName, i);
            text(effGetParamLabel, i);
            text(effGetParamDisplay, i);
            fTexts += std::to_string(fEffect->getParameter(fEffect, i));
        }
        for (int32_t op : {effGetEffectName, effGetVendorString, effGetProductString})
            text(op, 0);
        break;
    case StepKind::opcode:
    {
        const int32_t opcode = s.frames;
        if (unsafeOpcode(opcode))
            break;
        alignas(16) unsigned char buffer[kTextBuffer];
        std::memset(buffer, 0, sizeof buffer);
        // Opcodes that take a pointer in value get one; the rest get the odd number.
        const bool pointerValue = opcode == effGetSpeakerArrangement || opcode == effSetSpeakerArrangement;
        const intptr_t value = pointerValue ? reinterpret_cast<intptr_t>(buffer + 256) : s.value;
        fTexts = std::to_string(dispatch(opcode, s.index, value, buffer, s.number));
        break;
    }
    }
}

Library::Library(const std::string& path)
{
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* error = dlerror();
        reason = error != nullptr ? error : "cannot load " + path;
        return;
    }
    entry = reinterpret_cast<Driver::EntryPoint>(dlsym(handle, "VSTPluginMain"));
    if (entry == nullptr)
        reason = path + " has no VSTPluginMain";
}

Library::~Library()
{
    if (handle != nullptr)
        dlclose(handle);
}

} // namespace stress
