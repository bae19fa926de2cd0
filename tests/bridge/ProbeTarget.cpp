// A target that records what reaches it: the effect pointer of every slot,
// the last dispatcher arguments, and the host's answer during its entry.
#include "ProbeTarget.h"

#include <cstring>

namespace
{
    AEffect probe {};
    ProbeState state {};
    AudioMasterCallback host = nullptr;

    VstIntPtr dispatcher (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
    {
        state.dispatcherEffect = effect;
        state.lastOpcode = opcode;
        state.lastIndex = index;
        state.lastValue = value;
        state.lastPtr = ptr;
        state.lastOpt = opt;

        switch (opcode)
        {
            case 8: // GetParamName
                std::strcpy (static_cast<char*> (ptr), "Probe");
                return 0;

            case 12: // MainsChanged: grows after start-up, as some plug-ins do
                if (value != 0)
                    probe.numInputs = 4;
                return 0;

            case 50: // VendorSpecific
                if (index == probeCallbackIndex && host != nullptr)
                    return host (&probe, (std::int32_t) value, 7, 99, ptr, 0.25f);
                break;

            default:
                break;
        }

        return probeResultBase + opcode;
    }

    void process (AEffect* effect, float**, float**, std::int32_t)
    {
        state.processEffect = effect;
        ++state.processCalls;
    }

    void processReplacing (AEffect* effect, float**, float**, std::int32_t)
    {
        state.processReplacingEffect = effect;
        ++state.processReplacingCalls;
    }

    void processDoubleReplacing (AEffect* effect, double**, double**, std::int32_t)
    {
        state.processDoubleEffect = effect;
    }

    void setParameter (AEffect* effect, std::int32_t index, float value)
    {
        state.setParameterEffect = effect;
        state.setParameterIndex = index;
        state.setParameterValue = value;
    }

    float getParameter (AEffect* effect, std::int32_t index)
    {
        state.getParameterEffect = effect;
        float value = 0.0f;

        if (index >= 0 && index < 3)
            std::memcpy (&value, &probeParameterBits[index], sizeof (value));

        return value;
    }
}

extern "C" __attribute__ ((visibility ("default"))) ProbeState* probeState()
{
    return &state;
}

extern "C" __attribute__ ((visibility ("default"))) AEffect* VSTPluginMain (AudioMasterCallback hostCallback)
{
    host = hostCallback;
    state = {};
    probe = {};
    probe.magic = kEffectMagic;
    probe.dispatcher = dispatcher;
    probe.process = process;
    probe.setParameter = setParameter;
    probe.getParameter = getParameter;
    probe.processReplacing = processReplacing;
    probe.processDoubleReplacing = processDoubleReplacing;
    probe.numPrograms = 1;
    probe.numParams = 3;
    probe.numInputs = 2;
    probe.numOutputs = 2;
    probe.flags = 1 << 4; // canReplacing
    probe.object = &state;
    probe.uniqueID = 0x54625072; // TbPr
    probe.version = 1;
    probe.future[0] = 0x5a;      // the reserved tail travels too
    state.record = &probe;
    state.versionDuringEntry = hostCallback != nullptr ? hostCallback (&probe, 1, 0, 0, nullptr, 0.0f) : 0;
    return &probe;
}

extern "C" __attribute__ ((visibility ("default"), alias ("VSTPluginMain")))
AEffect* probeMain (AudioMasterCallback) asm ("main");
