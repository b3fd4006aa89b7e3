// A tiny VST 2.x instrument for testing the render host: it marks every event at its sample, plays a
// sine per held note and logs the host's calls to the file named by FAKE_PLUGIN_LOG.
#include "plugin/VstInterface.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPrograms = 32;
constexpr int kMaxPending = 4096;
constexpr int kNotes = 128;
constexpr float kSineLevel = 0.2f;
constexpr float kBendMark = 0.25f;
constexpr float kControllerMark = 0.125f;
// A note-on on this channel (the 16th) marks its sample with NaN, as a faulty instrument might.
constexpr int kBrokenChannel = 15;

struct FakePlugin
{
    AEffect effect{};
    audioMasterCallback master = nullptr;
    std::vector<std::string> log;
    std::array<VstMidiEvent, kMaxPending> pending{};
    int pendingCount = 0;
    float sampleRate = 44100.0f;
    int program = 0;
    std::array<int, kNotes> velocity{};   // 0 while the note is not held
    std::array<double, kNotes> phase{};
};

FakePlugin* self(AEffect* effect)
{
    return static_cast<FakePlugin*>(effect->object);
}

void writeLog(const FakePlugin& plugin)
{
    const char* path = std::getenv("FAKE_PLUGIN_LOG");
    if (path == nullptr)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        for (const std::string& line : plugin.log)
            std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    FakePlugin* plugin = self(effect);
    switch (opcode) {
    case effOpen:
        plugin->log.push_back("open");
        return 0;
    case effClose:
        plugin->log.push_back("close");
        writeLog(*plugin);
        delete plugin;
        return 1;
    case effSetProgram:
        plugin->log.push_back("program " + std::to_string(value));
        plugin->program = static_cast<int>(value);
        return 0;
    case effSetSampleRate:
        plugin->log.push_back("rate " + std::to_string(static_cast<int>(opt)));
        plugin->sampleRate = opt;
        return 0;
    case effSetBlockSize:
        plugin->log.push_back("block " + std::to_string(value));
        return 0;
    case effMainsChanged:
        plugin->log.push_back("mains " + std::to_string(value));
        if (value != 0) {
            const intptr_t reply = plugin->master(effect, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
            plugin->log.push_back("wantmidi " + std::to_string(reply));
        }
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= kPrograms || ptr == nullptr)
            return 0;
        // Names with spaces, capitals and punctuation, as file names must cope with them.
        std::snprintf(static_cast<char*>(ptr), 24, index == 0 ? "Fake / Tone #%d" : "fake  tone %d ", index);
        return 1;
    case effProcessEvents: {
        const auto* events = static_cast<const VstEvents*>(ptr);
        std::string line = "events";
        for (int i = 0; i < events->numEvents && plugin->pendingCount < kMaxPending; ++i) {
            VstEvent* const* pointers = events->events; // numEvents long, beyond the declared two
            const VstEvent* event = pointers[i];
            if (event->type != kVstMidiType)
                continue;
            VstMidiEvent midi;
            std::memcpy(&midi, event, sizeof midi);
            plugin->pending[static_cast<size_t>(plugin->pendingCount++)] = midi;
            char text[64];
            std::snprintf(text, sizeof text, " %d:%02x%02x%02x", midi.deltaFrames,
                          static_cast<unsigned char>(midi.midiData[0]), static_cast<unsigned char>(midi.midiData[1]),
                          static_cast<unsigned char>(midi.midiData[2]));
            line += text;
        }
        plugin->log.push_back(line);
        return 1;
    }
    default:
        return 0;
    }
}

void applyEvent(FakePlugin& plugin, const VstMidiEvent& event, float* left)
{
    const int status = static_cast<unsigned char>(event.midiData[0]) & 0xF0;
    const int data1 = event.midiData[1] & 0x7F;
    const int data2 = event.midiData[2] & 0x7F;
    const int channel = static_cast<unsigned char>(event.midiData[0]) & 0x0F;
    if (status == 0x90 && data2 > 0 && channel == kBrokenChannel) {
        left[event.deltaFrames] = std::nanf("");
    } else if (status == 0x90 && data2 > 0) {
        left[event.deltaFrames] += static_cast<float>(data1) / 128.0f;
        plugin.velocity[static_cast<size_t>(data1)] = data2;
        plugin.phase[static_cast<size_t>(data1)] = 0.0;
    } else if (status == 0x80 || status == 0x90) {
        left[event.deltaFrames] -= static_cast<float>(data1) / 128.0f;
        plugin.velocity[static_cast<size_t>(data1)] = 0;
    } else if (status == 0xE0) {
        left[event.deltaFrames] += kBendMark;
    } else if (status == 0xB0) {
        left[event.deltaFrames] += kControllerMark;
    }
}

void processReplacing(AEffect* effect, float**, float** outputs, int32_t frames)
{
    FakePlugin& plugin = *self(effect);
    plugin.log.push_back("process " + std::to_string(frames));
    float* left = outputs[0];
    float* right = outputs[1];
    for (int i = 0; i < frames; ++i)
        left[i] = right[i] = 0.0f;

    int next = 0;
    for (int i = 0; i < frames; ++i) {
        while (next < plugin.pendingCount && plugin.pending[static_cast<size_t>(next)].deltaFrames <= i) {
            const VstMidiEvent& event = plugin.pending[static_cast<size_t>(next++)];
            if (event.deltaFrames != i) {
                plugin.log.push_back("bad delta " + std::to_string(event.deltaFrames));
                continue;
            }
            applyEvent(plugin, event, left);
        }
        for (int note = 0; note < kNotes; ++note) {
            const int velocity = plugin.velocity[static_cast<size_t>(note)];
            if (velocity == 0)
                continue;
            const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
            double& phase = plugin.phase[static_cast<size_t>(note)];
            right[i] += kSineLevel * static_cast<float>(velocity) / 127.0f * static_cast<float>(std::sin(phase));
            phase += 2.0 * M_PI * hz / plugin.sampleRate;
        }
    }
    for (; next < plugin.pendingCount; ++next)
        plugin.log.push_back("bad delta " + std::to_string(plugin.pending[static_cast<size_t>(next)].deltaFrames));
    plugin.pendingCount = 0;
}

void process(AEffect*, float**, float**, int32_t) {}
void setParameter(AEffect*, int32_t, float) {}
float getParameter(AEffect*, int32_t)
{
    return 0.0f;
}

} // namespace

#ifndef FAKE_ENTRY_NAME
#define FAKE_ENTRY_NAME VSTPluginMain
#endif
#ifndef FAKE_VARIANT
#define FAKE_VARIANT 0
#endif

// 0: a working instrument; 1: the entry point returns null; 2: the record has a wrong magic number.
constexpr int kVariant = FAKE_VARIANT;

extern "C" __attribute__((visibility("default"))) AEffect* FAKE_ENTRY_NAME(audioMasterCallback master)
{
    const intptr_t version = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    if (kVariant == 1)
        return nullptr;
    if (kVariant == 2) {
        static AEffect notAnEffect{}; // the host cannot close it, so nothing is allocated
        notAnEffect.magic = vstFourCC('N', 'o', 'p', 'e');
        return &notAnEffect;
    }

    auto* plugin = new FakePlugin;
    plugin->master = master;
    plugin->log.push_back("version " + std::to_string(version));
    AEffect& effect = plugin->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcher;
    effect.process = process;
    effect.processReplacing = processReplacing;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.numPrograms = kPrograms;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing | effFlagsIsSynth;
    effect.ioRatio = 1.0f;
    effect.object = plugin;
    effect.uniqueID = vstFourCC('F', 'a', 'k', 'e');
    effect.version = 1;
    return &effect;
}
