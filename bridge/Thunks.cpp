#include "Thunks.h"
#include "Bridge.h"
#include "WrapperEffect.h"
#include "../log/TBLogger.h"

#include <cstring>

// After Close (or while it runs on another thread) there is no target, and a
// target may leave a slot empty: such calls are logged, reach nobody and
// return 0, so a careless host never jumps through a null or freed pointer.
//
// Every function of the target gets the target's own record as its effect
// argument, never the wrapper: plug-ins may find their instance by the
// record's address or by data stored just past it (DPF plug-ins do), and
// would silently do nothing when handed the copy.

namespace
{
    AEffect* currentTarget() noexcept
    {
        return bridge.targetEffect.load (std::memory_order_acquire);
    }

    // [audio] A block to the target's function in the given slot, then its end to the logger.
    template <typename Process, typename Sample>
    void forwardBlock (Process AEffect::* slot, AEffectFunction function, TBLogger::CallStart started,
                       Sample** inputs, Sample** outputs, std::int32_t sampleFrames)
    {
        if (auto* target = currentTarget())
            if (auto process = target->*slot)
                process (target, inputs, outputs, sampleFrames);

        tbLogger.logProcessEnd (function, sampleFrames, started);
    }
}

// [any thread, realtime]; with Close, [shut-down].
VstIntPtr dispatcherThunk (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    const auto started = tbLogger.logDispatcherCall (opcode, index, value, ptr, opt);

    // The target's dispatcher gets its own record, not the wrapper the host passed.
    auto* target = currentTarget();
    VstIntPtr result = 0;

    if (target != nullptr && target->dispatcher != nullptr)
        result = target->dispatcher (target, opcode, index, value, ptr, opt);

    tbLogger.logDispatcherReturn (opcode, ptr, result, index, value, started);

    if (opcode == effCloseOpcode && target != nullptr)
        endHosting (target);

    return result;
}

// [audio]
void processThunk (AEffect*, float** inputs, float** outputs, std::int32_t sampleFrames)
{
    const auto started = tbLogger.logProcess (inputs, outputs, sampleFrames, false);
    forwardBlock (&AEffect::process, functionProcess, started, inputs, outputs, sampleFrames);
}

// [audio]
void processReplacingThunk (AEffect*, float** inputs, float** outputs, std::int32_t sampleFrames)
{
    const auto started = tbLogger.logProcess (inputs, outputs, sampleFrames, true);
    forwardBlock (&AEffect::processReplacing, functionProcessReplacing, started, inputs, outputs, sampleFrames);
}

// [any thread, realtime] Any host thread, audio or GUI.
void setParameterThunk (AEffect*, std::int32_t index, float parameter)
{
    const auto started = tbLogger.logSetParameter (index, parameter);

    if (auto* target = currentTarget())
        if (auto setParameter = target->setParameter)
            setParameter (target, index, parameter);

    tbLogger.logCallEnd (functionSetParameter, started);
}

// [any thread, realtime] Any host thread, audio or GUI.
float getParameterThunk (AEffect*, std::int32_t index)
{
    const auto started = tbLogger.logGetParameter (index);
    auto value = 0.0f;

    if (auto* target = currentTarget())
        if (auto getParameter = target->getParameter)
            value = getParameter (target, index);

    tbLogger.logCallEnd (functionGetParameter, started);
    return value;
}

// [audio]
void processDoubleReplacingThunk (AEffect*, double** inputs, double** outputs, std::int32_t sampleFrames)
{
    const auto started = tbLogger.logProcessDoubleReplacing (inputs, outputs, sampleFrames);
    forwardBlock (&AEffect::processDoubleReplacing, functionProcessDoubleReplacing, started, inputs, outputs, sampleFrames);
}

// [any thread, realtime] The target's, during its entry included.
VstIntPtr audioMasterThunk (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    const auto started = tbLogger.logAudioMasterCall (opcode, index, value, ptr, opt);

    // The host always sees the record it received from main.
    VstIntPtr result = 0;

    if (auto hostCallback = bridge.hostCallback.load (std::memory_order_acquire))
        result = hostCallback (&wrapperEffect, opcode, index, value, ptr, opt);

    tbLogger.logAudioMasterReturn (opcode, ptr, result, index, value, started);
    return result;
}

void buildWrapperEffect (const AEffect& target) noexcept
{
    std::memcpy (&wrapperEffect, &target, sizeof (AEffect));
    wrapperEffect.dispatcher = dispatcherThunk;
    wrapperEffect.process = processThunk;
    wrapperEffect.setParameter = setParameterThunk;
    wrapperEffect.getParameter = getParameterThunk;
    wrapperEffect.processReplacing = processReplacingThunk;

    // In the reserved tail, so only where the target fills it: the host must
    // not reach the target around the bridge, with the wrong record.
    if (target.processDoubleReplacing != nullptr)
        wrapperEffect.processDoubleReplacing = processDoubleReplacingThunk;
}
