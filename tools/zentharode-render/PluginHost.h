// A VST 2.x plug-in loaded from its library and driven the way a host drives it.
#pragma once

#include "plugin/VstInterface.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class PluginError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The plug-in library, opened once; any number of plug-in instances can be made from it.
class PluginLibrary
{
public:
    // Throws PluginError when the file cannot be loaded or has no VSTPluginMain.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return fPath; }

    using EntryPoint = AEffect* (*)(audioMasterCallback);
    EntryPoint entryPoint() const { return fEntry; }

private:
    std::string fPath;
    void* fHandle = nullptr;
    EntryPoint fEntry = nullptr;
};

struct HostSettings
{
    double sampleRate = 44100.0;
    int blockSize = 512;
    int program = 0;
};

// One plug-in instance. The constructor opens it (effOpen, sample rate, block size, program,
// effMainsChanged 1); the destructor stops and closes it (effMainsChanged 0, effClose).
class PluginInstance
{
public:
    // Throws PluginError for a null effect, a wrong magic number, no outputs or an unknown program.
    PluginInstance(const PluginLibrary& library, const HostSettings& settings);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    int outputCount() const { return fOutputCount; }
    int programCount() const { return fEffect->numPrograms; }

    // The name the plug-in gives program `index` ("" when it answers nothing).
    std::string programName(int index);

    void processEvents(VstEvents* events);

    // Renders one block into the output buffers (each at least blockSize long); inputs are silent.
    void processBlock(int frames);
    const float* output(int channel) const { return fOutputs[static_cast<size_t>(channel)].data(); }

    const HostSettings& settings() const { return fSettings; }

private:
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                             void* ptr, float opt);
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void close();
    static std::vector<PluginInstance*>& liveInstances();

    AEffect* fEffect = nullptr;
    HostSettings fSettings;
    int fOutputCount = 0;
    bool fRunning = false;
    bool fUseReplacing = true;
    std::vector<std::vector<float>> fInputs;
    std::vector<std::vector<float>> fOutputs;
    std::vector<float*> fInputPointers;
    std::vector<float*> fOutputPointers;
};
