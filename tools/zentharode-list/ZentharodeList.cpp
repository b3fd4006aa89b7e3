// Loads a plug-in library through its entry point, as a host does, and prints its identity, parameters and programs.
#include "plugin/VstInterface.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace
{
using EntryPoint = AEffect* (*)(audioMasterCallback);

constexpr int kTextSize = 256; // far more than any plug-in may write

intptr_t VSTCALLBACK listingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

struct Text
{
    char value[kTextSize];
};

Text ask(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0)
{
    Text text{};
    effect->dispatcher(effect, opcode, index, value, text.value, 0.0f);
    text.value[kTextSize - 1] = '\0';
    return text;
}

void printIdentity(AEffect* effect)
{
    const int32_t id = effect->uniqueID;
    std::printf("name:     %s\n", ask(effect, effGetEffectName).value);
    std::printf("product:  %s\n", ask(effect, effGetProductString).value);
    std::printf("vendor:   %s (version %ld)\n", ask(effect, effGetVendorString).value,
                static_cast<long>(effect->dispatcher(effect, effGetVendorVersion, 0, 0, nullptr, 0.0f)));
    std::printf("id:       '%c%c%c%c'  flags 0x%x  inputs %d  outputs %d\n", (id >> 24) & 0xFF, (id >> 16) & 0xFF,
                (id >> 8) & 0xFF, id & 0xFF, static_cast<unsigned>(effect->flags), effect->numInputs,
                effect->numOutputs);
}

void printParameters(AEffect* effect)
{
    std::printf("\n%d parameters:\n", effect->numParams);
    for (int32_t i = 0; i < effect->numParams; i++)
    {
        const Text name = ask(effect, effGetParamName, i);
        const Text label = ask(effect, effGetParamLabel, i);
        const Text display = ask(effect, effGetParamDisplay, i);
        std::printf("  %2d  %-16s  %-10s [%s]  %.6g\n", i, name.value, display.value, label.value,
                    static_cast<double>(effect->getParameter(effect, i)));
    }
}

void printPrograms(AEffect* effect)
{
    std::printf("\n%d programs:\n", effect->numPrograms);
    for (int32_t i = 0; i < effect->numPrograms; i++)
        std::printf("  %2d  %s\n", i, ask(effect, effGetProgramNameIndexed, i).value);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s PLUGIN.so\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
    if (entry == nullptr)
        entry = reinterpret_cast<EntryPoint>(dlsym(library, "main"));
    AEffect* effect = entry != nullptr ? entry(listingHost) : nullptr;
    if (effect == nullptr || effect->magic != kEffectMagic)
    {
        std::fprintf(stderr, "%s: no plug-in could be created\n", argv[1]);
        dlclose(library);
        return 1;
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    printIdentity(effect);
    printParameters(effect);
    printPrograms(effect);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library);
    return 0;
}
