#include "Thunks.h"
#include "Bridge.h"
#include "CallGate.h"
#include "WrapperEffect.h"
#include "../checks/CallChecks.h"
#include "../crash/CallsInProgress.h"
#include "../log/LineWriter.h"
#include "../log/TBLogger.h"
#include "../record/SessionRecorder.h"

#include <cstring>

// Calls that find no target (after Close, while it runs on another thread,
// a slot the target left empty) reach nobody and return 0, so a careless host
// never jumps through a null or freed pointer. Those turned back by Close get
// one line per kind, during Close and after it.
//
// Every function of the target gets the target's own record as its effect
// argument, never the wrapper: plug-ins may find their instance by the
// record's address or by data stored just past it (DPF plug-ins do), and
// would silently do nothing when handed the copy.

namespace
{
    // Each thunk's first statement: the call in progress, for the crash and hang reports.
    using InProgress = CallsInProgress::Scope;

    constexpr std::uint64_t intoTarget (AEffectFunction function, std::int32_t opcode = 0) noexcept
    {
        return CallsInProgress::describe (CallsInProgress::intoTarget, function, opcode);
    }

    constexpr std::int32_t ioChangedOpcode = 13;
    // A block or an editor idle lasts milliseconds; a call still inside
    // after this long is stuck, and Close goes on without it.
    constexpr int closeWaitMilliseconds = 2000;

    AEffect* currentTarget() noexcept
    {
        return bridge.targetEffect.load (std::memory_order_acquire);
    }

    int dispatcherKind (std::int32_t opcode) noexcept
    {
        return (std::uint32_t) opcode < (std::uint32_t) numDispatcherOpCodes ? numAEffectFunctions + opcode
                                                                            : functionDispatcher;
    }

    // [any thread, realtime] "processReplacing called during Close", once per kind and phase.
    void noteTurnedBack (int kind) noexcept
    {
        const auto when = callGate.currentPhase();

        if (! callGate.firstTurnedBack (when, kind))
            return;

        char text[128];
        LineWriter line (text);
        if (kind < numAEffectFunctions)
        {
            line.append (aEffectFunctionNames[kind]);
        }
        else
        {
            line.appendLiteral ("eff"); // as the call lines name it
            line.append (dispatcherOpCodes[kind - numAEffectFunctions].name);
        }

        line.append (when == CallGate::closing ? " called during Close" : " called after Close");
        tbLogger.logLine (line.text());
    }

    // [shut-down] "... 1 call still ...", "... 2 calls still ...".
    void logStuckCalls (const char* before, std::int64_t count, const char* after) noexcept
    {
        char text[160];
        LineWriter line (text);
        line.append (before);
        line.appendDecimal (count);
        line.append (count == 1 ? " call" : " calls");
        line.append (after);
        tbLogger.logLine (line.text());
    }

    template <typename Field>
    void follow (Field& mine, const Field& theirs) noexcept
    {
        // Compared bit for bit, and written only when changed: the host
        // reads these fields from its own threads all the time.
        if (std::memcmp (&mine, &theirs, sizeof (Field)) != 0)
            std::memcpy (&mine, &theirs, sizeof (Field));
    }

    // [any thread, realtime] Inside the gate: the target's record is alive.
    void followTargetRecord (const AEffect& target) noexcept
    {
        follow (wrapperEffect.numPrograms, target.numPrograms);
        follow (wrapperEffect.numParams, target.numParams);
        follow (wrapperEffect.numInputs, target.numInputs);
        follow (wrapperEffect.numOutputs, target.numOutputs);
        follow (wrapperEffect.flags, target.flags);
        follow (wrapperEffect.initialDelay, target.initialDelay);
        follow (wrapperEffect.realQualities, target.realQualities);
        follow (wrapperEffect.offQualities, target.offQualities);
        follow (wrapperEffect.ioRatio, target.ioRatio);
        follow (wrapperEffect.uniqueID, target.uniqueID);
        follow (wrapperEffect.version, target.version);
    }

    // The recording's name for a block's function.
    constexpr std::uint8_t recordedBlock (AEffectFunction function) noexcept
    {
        return function == functionProcess ? recording::recordedProcess
             : function == functionProcessReplacing ? recording::recordedProcessReplacing
                                                    : recording::recordedProcessDoubleReplacing;
    }

    // [audio] A block to the target's function in the given slot, then its end to the logger.
    template <typename Process, typename Sample>
    void forwardBlock (Process AEffect::* slot, AEffectFunction function, TBLogger::CallStart started,
                       Sample** inputs, Sample** outputs, std::int32_t sampleFrames)
    {
        if (! callGate.enter (CallGate::intoTarget))
        {
            noteTurnedBack (function);
            return;
        }

        auto* target = currentTarget();
        CallChecks::Entry checks;
        const bool checked = target != nullptr && callChecks.anyOn();
        const auto channels = [] (Sample** pointers) { return reinterpret_cast<void* const*> (pointers); };

        if (checked)
            callChecks.beforeBlock (checks, *target, function, channels (inputs), channels (outputs), sampleFrames);

        if (target != nullptr)
        {
            const auto recorded = sessionRecorder.callBlock (recordedBlock (function), channels (inputs), target->numInputs,
                                                             channels (outputs), target->numOutputs, sampleFrames, sizeof (Sample));

            if (auto process = target->*slot)
                process (target, inputs, outputs, sampleFrames);

            sessionRecorder.returnBlock (recorded, recordedBlock (function), channels (outputs), target->numOutputs,
                                        sampleFrames, sizeof (Sample));
        }

        if (checked)
            callChecks.afterBlock (checks, *target, function, channels (outputs), sampleFrames);

        callGate.leave (CallGate::intoTarget);
        tbLogger.logProcessEnd (function, sampleFrames, started);
    }

    // [shut-down] The thread that sent Close: effClose goes on once no other
    // call is inside the target, and the library is freed once no call at
    // all is inside it; each wait is bounded, and a line says where it ran out.
    VstIntPtr closeTarget (std::int32_t index, VstIntPtr value, void* ptr, float opt, TBLogger::CallStart started)
    {
        auto* target = currentTarget();

        if (target == nullptr || ! callGate.beginClose())
        {
            noteTurnedBack (dispatcherKind (effCloseOpcode));
            return 0;
        }

        callGate.enterAlways (CallGate::intoTarget);

        // Close is the session's last call: what it holds is let go at the next start.
        if (CallChecks::Entry checks; callChecks.anyOn())
            callChecks.beforeDispatcher (checks, *target, effCloseOpcode, index, value, ptr);

        if (const auto busy = callGate.waitForCalls (true, 1, closeWaitMilliseconds); busy > 0)
            logStuckCalls ("effClose forwarded with ", busy, " still inside the target after 2 s");

        VstIntPtr result = 0;
        const auto recorded = sessionRecorder.callDispatcher (effCloseOpcode, index, value, ptr, opt);

        if (target->dispatcher != nullptr)
            result = target->dispatcher (target, effCloseOpcode, index, value, ptr, opt);

        sessionRecorder.returnDispatcher (recorded, effCloseOpcode, index, value, ptr, result);
        sessionRecorder.stop();

        callGate.leave (CallGate::intoTarget);
        tbLogger.logDispatcherReturn (effCloseOpcode, ptr, result, index, value, started);

        const auto inside = callGate.waitForCalls (false, 0, closeWaitMilliseconds);

        if (inside > 0)
            logStuckCalls ("The target library stays loaded: ", inside, " still inside it after 2 s");

        endHosting (target, inside > 0);
        callGate.endClose();
        return result;
    }
}

// [any thread, realtime]; with Close, [shut-down].
VstIntPtr dispatcherThunk (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    InProgress inProgress (intoTarget (functionDispatcher, opcode));
    const auto started = tbLogger.logDispatcherCall (opcode, index, value, ptr, opt);
    inProgress.startedAt (started);

    if (opcode == effCloseOpcode)
        return closeTarget (index, value, ptr, opt, started);

    if (! callGate.enter (CallGate::intoTarget))
    {
        noteTurnedBack (dispatcherKind (opcode));
        return 0;
    }

    // The target's dispatcher gets its own record, not the wrapper the host passed.
    auto* target = currentTarget();
    VstIntPtr result = 0;
    CallChecks::Entry checks;
    const bool checked = target != nullptr && callChecks.anyOn();

    if (checked)
        callChecks.beforeDispatcher (checks, *target, opcode, index, value, ptr);

    if (target != nullptr && target->dispatcher != nullptr)
    {
        const auto recorded = sessionRecorder.callDispatcher (opcode, index, value, ptr, opt);
        result = target->dispatcher (target, opcode, index, value, ptr, opt);
        sessionRecorder.returnDispatcher (recorded, opcode, index, value, ptr, result);

        if (checked)
            callChecks.afterDispatcher (checks, *target, opcode, ptr);

        // Plug-ins change their latency in resume (and more) without telling.
        followTargetRecord (*target);
    }

    callGate.leave (CallGate::intoTarget);
    tbLogger.logDispatcherReturn (opcode, ptr, result, index, value, started);
    return result;
}

// [audio]
void processThunk (AEffect*, float** inputs, float** outputs, std::int32_t sampleFrames)
{
    InProgress inProgress (intoTarget (functionProcess));
    const auto started = tbLogger.logProcess (inputs, outputs, sampleFrames, false);
    inProgress.startedAt (started);
    forwardBlock (&AEffect::process, functionProcess, started, inputs, outputs, sampleFrames);
}

// [audio]
void processReplacingThunk (AEffect*, float** inputs, float** outputs, std::int32_t sampleFrames)
{
    InProgress inProgress (intoTarget (functionProcessReplacing));
    const auto started = tbLogger.logProcess (inputs, outputs, sampleFrames, true);
    inProgress.startedAt (started);
    forwardBlock (&AEffect::processReplacing, functionProcessReplacing, started, inputs, outputs, sampleFrames);
}

// [any thread, realtime] Any host thread, audio or GUI.
void setParameterThunk (AEffect*, std::int32_t index, float parameter)
{
    InProgress inProgress (intoTarget (functionSetParameter));
    const auto started = tbLogger.logSetParameter (index, parameter);
    inProgress.startedAt (started);

    if (! callGate.enter (CallGate::intoTarget))
    {
        noteTurnedBack (functionSetParameter);
        return;
    }

    if (auto* target = currentTarget())
    {
        CallChecks::Entry checks;
        const bool checked = callChecks.anyOn();

        if (checked)
            callChecks.beforeParameter (checks, *target, functionSetParameter, index, parameter);

        const auto recorded = sessionRecorder.callParameter (recording::recordedSetParameter, index, parameter);

        if (auto setParameter = target->setParameter)
            setParameter (target, index, parameter);

        sessionRecorder.returnParameter (recorded, recording::recordedSetParameter, index);

        if (checked)
            callChecks.afterParameter (checks);
    }

    callGate.leave (CallGate::intoTarget);
    tbLogger.logCallEnd (functionSetParameter, started, index);
}

// [any thread, realtime] Any host thread, audio or GUI.
float getParameterThunk (AEffect*, std::int32_t index)
{
    InProgress inProgress (intoTarget (functionGetParameter));
    const auto started = tbLogger.logGetParameter (index);
    inProgress.startedAt (started);

    if (! callGate.enter (CallGate::intoTarget))
    {
        noteTurnedBack (functionGetParameter);
        return 0.0f;
    }

    auto value = 0.0f;

    if (auto* target = currentTarget())
    {
        if (CallChecks::Entry checks; callChecks.anyOn())
            callChecks.beforeParameter (checks, *target, functionGetParameter, index, 0.0f);

        const auto recorded = sessionRecorder.callParameter (recording::recordedGetParameter, index, 0.0f);

        if (auto getParameter = target->getParameter)
            value = getParameter (target, index);

        sessionRecorder.returnParameter (recorded, recording::recordedGetParameter, index, value);
    }

    callGate.leave (CallGate::intoTarget);
    tbLogger.logCallEnd (functionGetParameter, started, index);
    return value;
}

// [audio]
void processDoubleReplacingThunk (AEffect*, double** inputs, double** outputs, std::int32_t sampleFrames)
{
    InProgress inProgress (intoTarget (functionProcessDoubleReplacing));
    const auto started = tbLogger.logProcessDoubleReplacing (inputs, outputs, sampleFrames);
    inProgress.startedAt (started);
    forwardBlock (&AEffect::processDoubleReplacing, functionProcessDoubleReplacing, started, inputs, outputs, sampleFrames);
}

// [any thread, realtime] The target's, during its entry included.
VstIntPtr audioMasterThunk (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    InProgress inProgress (CallsInProgress::describe (CallsInProgress::intoHost, functionAudioMaster, opcode));
    const auto started = tbLogger.logAudioMasterCall (opcode, index, value, ptr, opt);
    inProgress.startedAt (started);
    // This thread runs in the target's code and returns there: the library
    // must stay loaded until it has.
    callGate.enterAlways (CallGate::fromTarget);

    // The host reads the new counts and latency in its handler.
    if (opcode == ioChangedOpcode && callGate.currentPhase() == CallGate::hosting)
        if (auto* target = currentTarget())
            followTargetRecord (*target);

    // The host always sees the record it received from main.
    VstIntPtr result = 0;
    CallChecks::Entry checks;
    const bool checked = callChecks.anyOn();

    if (checked)
        callChecks.beforeAudioMaster (checks, currentTarget(), opcode, index, opt, ptr);

    const auto recorded = sessionRecorder.callHost (opcode, index, value, ptr, opt);

    if (auto hostCallback = bridge.hostCallback.load (std::memory_order_acquire))
        result = hostCallback (&wrapperEffect, opcode, index, value, ptr, opt);

    sessionRecorder.returnHost (recorded, opcode, index, value, ptr, result);

    if (checked)
        callChecks.afterAudioMaster (checks, opcode, ptr);

    callGate.leave (CallGate::fromTarget);
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
