// A host callback for unit tests: answers the version question and nothing else.
#pragma once

#include "plugin/VstInterface.h"

inline intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}
