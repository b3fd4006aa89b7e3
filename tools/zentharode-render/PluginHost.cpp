// A VST 2.x plug-in loaded from its library and driven the way a host drives it.
#include "PluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr intptr_t kHostVstVersion = 2400;
// Host requests outside our interface header that plug-ins commonly make.
constexpr int32_t kAudioMasterGetSampleRate = 16;
constexpr int32_t kAudioMasterGetBlockSize = 17;
constexpr int32_t kAudioMasterGetCurrentProcessLevel = 23;
constexpr intptr_t kProcessLevelOffline = 4;
// A plug-in reporting more outputs than this has a broken effect record.
constexpr int kMaxChannels = 64;
constexpr size_t kProgramNameBytes = 256;

} // namespace

std::vector<PluginInstance*>& PluginInstance::liveInstances()
{
    // The callback gets only the effect record; this finds the instance that owns it.
    static std::vector<PluginInstance*> instances;
    return instances;
}

PluginLibrary::PluginLibrary(const std::string& path)
    : fPath(path)
{
    // RTLD_LOCAL keeps two plug-ins' symbols apart; RTLD_NOW finds missing symbols before anything runs.
    // A bare file name would make dlopen search the library path instead of the current folder.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    fHandle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (fHandle == nullptr) {
        const char* reason = dlerror();
        throw PluginError("cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "unknown error"));
    }
    void* symbol = dlsym(fHandle, "VSTPluginMain");
    if (symbol == nullptr) {
        dlclose(fHandle);
        throw PluginError(path + " is not a VST 2.x plug-in: it has no VSTPluginMain");
    }
    fEntry = reinterpret_cast<EntryPoint>(symbol);
}

PluginLibrary::~PluginLibrary()
{
    dlclose(fHandle);
}

PluginInstance::PluginInstance(const PluginLibrary& library, const HostSettings& settings)
    : fSettings(settings)
{
    fEffect = library.entryPoint()(&PluginInstance::hostCallback);
    if (fEffect == nullptr)
        throw PluginError(library.path() + ": VSTPluginMain returned no effect");
    if (fEffect->magic != kEffectMagic) {
        fEffect = nullptr; // not an effect record: nothing in it may be called
        throw PluginError(library.path() + ": VSTPluginMain returned a record with the wrong magic number");
    }
    if (fEffect->dispatcher == nullptr || (fEffect->processReplacing == nullptr && fEffect->process == nullptr)) {
        fEffect = nullptr;
        throw PluginError(library.path() + ": the effect record lacks its dispatcher or processing entry");
    }
    if (fEffect->numOutputs < 1 || fEffect->numOutputs > kMaxChannels) {
        const int outputs = fEffect->numOutputs;
        dispatch(effClose);
        fEffect = nullptr;
        throw PluginError(library.path() + ": the plug-in reports " + std::to_string(outputs) + " outputs");
    }
    if (settings.program < 0 || settings.program >= fEffect->numPrograms) {
        const int programs = fEffect->numPrograms;
        dispatch(effClose);
        fEffect = nullptr;
        throw PluginError("program " + std::to_string(settings.program) + " does not exist (the plug-in has "
                          + std::to_string(programs) + ")");
    }

    fOutputCount = fEffect->numOutputs;
    fUseReplacing = fEffect->processReplacing != nullptr
                    && ((fEffect->flags & effFlagsCanReplacing) != 0 || fEffect->process == nullptr);
    // Some plug-ins read two inputs whatever they declare; silent buffers for all of them.
    const int inputCount = std::clamp(fEffect->numInputs, 2, kMaxChannels);
    const size_t frames = static_cast<size_t>(settings.blockSize);
    fInputs.assign(static_cast<size_t>(inputCount), std::vector<float>(frames, 0.0f));
    fOutputs.assign(static_cast<size_t>(fOutputCount), std::vector<float>(frames, 0.0f));
    for (auto& buffer : fInputs)
        fInputPointers.push_back(buffer.data());
    for (auto& buffer : fOutputs)
        fOutputPointers.push_back(buffer.data());

    liveInstances().push_back(this); // from here on the destructor closes the plug-in
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(settings.sampleRate));
    dispatch(effSetBlockSize, 0, settings.blockSize);
    dispatch(effSetProgram, 0, settings.program);
    dispatch(effMainsChanged, 0, 1);
    fRunning = true;
}

PluginInstance::~PluginInstance()
{
    close();
}

void PluginInstance::close()
{
    if (fEffect == nullptr)
        return;
    if (fRunning)
        dispatch(effMainsChanged, 0, 0);
    fRunning = false;
    dispatch(effClose);
    fEffect = nullptr;
    std::erase(liveInstances(), this);
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return fEffect->dispatcher(fEffect, opcode, index, value, ptr, opt);
}

std::string PluginInstance::programName(int index)
{
    char name[kProgramNameBytes] = {};
    dispatch(effGetProgramNameIndexed, index, 0, name);
    name[kProgramNameBytes - 1] = '\0';
    return name;
}

void PluginInstance::processEvents(VstEvents* events)
{
    dispatch(effProcessEvents, 0, 0, events);
}

void PluginInstance::processBlock(int frames)
{
    frames = std::clamp(frames, 0, fSettings.blockSize);
    if (fUseReplacing) {
        fEffect->processReplacing(fEffect, fInputPointers.data(), fOutputPointers.data(), frames);
        return;
    }
    // An accumulating plug-in adds to what the buffers hold.
    for (auto& buffer : fOutputs)
        std::fill(buffer.begin(), buffer.end(), 0.0f);
    fEffect->process(fEffect, fInputPointers.data(), fOutputPointers.data(), frames);
}

intptr_t VSTCALLBACK PluginInstance::hostCallback(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float)
{
    const PluginInstance* host = nullptr;
    for (const PluginInstance* instance : liveInstances())
        if (effect != nullptr && instance->fEffect == effect)
            host = instance;
    switch (opcode) {
    case audioMasterVersion:
        return kHostVstVersion;
    case audioMasterWantMidi:
        return 1;
    case kAudioMasterGetSampleRate:
        return host != nullptr ? static_cast<intptr_t>(host->fSettings.sampleRate) : 0;
    case kAudioMasterGetBlockSize:
        return host != nullptr ? host->fSettings.blockSize : 0;
    case kAudioMasterGetCurrentProcessLevel:
        return kProcessLevelOffline;
    default:
        // Automation, display updates, idle and edit brackets need no answer from an offline render.
        return 0;
    }
}
