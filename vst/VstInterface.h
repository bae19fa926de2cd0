// Tattlebox's own description of the VST 2 plug-in interface: the AEffect
// record, the call signatures and the rectangle type. The record follows the
// published layout of the platform it is built for (64-bit here) and is always
// copied whole.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

using VstIntPtr = std::intptr_t;

// The host callback (audioMaster) and the dispatcher share one signature.
using AudioMasterCallback = VstIntPtr (*) (AEffect* effect, std::int32_t opcode, std::int32_t index,
                                           VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = AudioMasterCallback;
using AEffectProcessProc = void (*) (AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames);
using AEffectProcessDoubleProc = void (*) (AEffect* effect, double** inputs, double** outputs, std::int32_t sampleFrames);
using AEffectSetParameterProc = void (*) (AEffect* effect, std::int32_t index, float parameter);
using AEffectGetParameterProc = float (*) (AEffect* effect, std::int32_t index);

// The entry of a plug-in library, exported as "main" (and "VSTPluginMain" on Linux).
using VstPluginMainProc = AEffect* (*) (AudioMasterCallback hostCallback);

constexpr std::int32_t kEffectMagic = 0x56737450; // 'VstP'

struct AEffect
{
    std::int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    AEffectProcessProc processReplacing;
    // Reserved tail: copied as it stands, never interpreted.
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// The editor rectangle; edges in this field order.
struct ERect
{
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

#if INTPTR_MAX == INT64_MAX
static_assert (sizeof (AEffect) == 192, "64-bit AEffect layout");
static_assert (offsetof (AEffect, processReplacing) == 120, "64-bit AEffect layout");
#else
static_assert (sizeof (AEffect) == 144, "32-bit AEffect layout");
static_assert (offsetof (AEffect, processReplacing) == 80, "32-bit AEffect layout");
#endif
