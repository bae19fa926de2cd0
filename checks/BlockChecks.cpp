// The rest of CallChecks: blocks (and their samples, with "Check Audio"),
// parameters, and the target's calls to the host.
#include "CallChecks.h"
#include "CheckLine.h"

#include "../platform/ThreadId.h"

#include <cfloat>
#include <cmath>

namespace
{
    using checks::CheckLine;
    constexpr auto relaxed = std::memory_order_relaxed;

    enum HostOpcode : std::int32_t
    {
        audioMasterAutomate = 0, audioMasterIOChanged = 13, audioMasterBeginEdit = 43, audioMasterEndEdit = 44
    };

    constexpr std::int32_t effFlagsCanDoubleReplacing = 1 << 12;

    // "processReplacing block 12: output channel 1 frame 77 is nan"
    template <typename Sample>
    void scanOutputs (AEffectFunction function, std::uint64_t block, const AEffect& target, void* const* outputs,
                      std::int32_t sampleFrames) noexcept
    {
        constexpr auto smallest = sizeof (Sample) == sizeof (float) ? (double) FLT_MIN : DBL_MIN;

        for (std::int32_t channel = 0; channel < target.numOutputs && outputs != nullptr; ++channel)
        {
            const auto* samples = static_cast<const Sample*> (outputs[channel]);

            for (std::int32_t frame = 0; samples != nullptr && frame < sampleFrames; ++frame)
            {
                const auto value = (double) samples[frame];
                const char* what = std::isnan (value) ? "nan" : std::isinf (value) ? (value > 0 ? "inf" : "-inf")
                                 : value != 0.0 && std::fabs (value) < smallest ? "denormal" : nullptr;

                if (what == nullptr)
                    continue;

                CheckLine().function (function).add (" block ").number ((std::int64_t) block).add (": output channel ")
                    .number (channel).add (" frame ").number (frame).add (" is ").add (what).breach (CheckRule::badSamples);
                return; // one per block
            }
        }
    }
}

void CallChecks::beforeBlock (Entry& entry, const AEffect& target, AEffectFunction function, void* const* inputs,
                              void* const* outputs, std::int32_t sampleFrames) noexcept
{
    blocks.fetch_add (1, relaxed);

    if (! callsOn())
        return;

    const auto self = currentThreadId();

    if (! resumed.load (relaxed) && resumeKnown.load (relaxed))
        CheckLine().function (function).add (everResumed.load (relaxed) ? " while suspended (effMainsChanged 0 since)"
                                                                         : " while suspended (no effMainsChanged 1 since effOpen)")
            .breach (CheckRule::processWhileSuspended);

    if (sampleFrames < 0)
        CheckLine().function (function).add (" with sampleFrames ").number (sampleFrames).add (", a negative count")
            .breach (CheckRule::blockSize);
    else if (const auto size = blockSize.load (relaxed); size > 0 && sampleFrames > size)
        CheckLine().function (function).add (" with sampleFrames ").number (sampleFrames)
            .add (", more than the block size ").number (size).breach (CheckRule::blockSize);

    const struct { void* const* channels; std::int32_t count; const char* name; } sides[] = {
        { inputs, target.numInputs, "input" }, { outputs, target.numOutputs, "output" }
    };

    for (const auto& side : sides)
        for (std::int32_t c = 0; c < side.count; ++c)
            if (side.channels == nullptr || side.channels[c] == nullptr)
            {
                CheckLine().function (function).add (" with a null pointer for ").add (side.name).add (" channel ")
                    .number (c).add (" of ").number (side.count).breach (CheckRule::nullChannel);
                break;
            }

    if (function == functionProcessDoubleReplacing)
    {
        if ((target.flags & effFlagsCanDoubleReplacing) == 0)
            checkRules.breach (CheckRule::doublePrecision, "processDoubleReplacing but the target has no effFlagsCanDoubleReplacing");
        else if (precision.load (relaxed) == 0)
            checkRules.breach (CheckRule::doublePrecision, "processDoubleReplacing while effSetProcessPrecision said single");
    }

    if (const auto first = firstProcessThread.load (relaxed); first == 0)
        firstProcessThread.store (self, relaxed);
    else if (first != self)
        CheckLine().function (function).add (" on a second thread; the first was ").thread (first).breach (CheckRule::processThreads);

    // As the dispatcher's place (CallChecks.cpp): plain loads and stores.
    if (const auto holder = processThread.load (relaxed); holder == 0)
    {
        processThread.store (self, relaxed);
        entry.held |= heldProcess;
        processFunction.store (function, relaxed);
    }
    else if (holder != self)
    {
        CheckLine().function (function).add (" while ").function ((AEffectFunction) processFunction.load (relaxed))
            .add (" runs on ").thread (holder).breach (CheckRule::concurrentProcess);
    }

    if (const auto setup = setupThread.load (relaxed); setup != 0 && setup != self)
        CheckLine().function (function).add (" while ").call (true, setupOpcode.load (relaxed)).add (" runs on ")
            .thread (setup).breach (CheckRule::processDuringSetup);
}

void CallChecks::afterBlock (const Entry& entry, const AEffect& target, AEffectFunction function, void* const* outputs,
                             std::int32_t sampleFrames) noexcept
{
    release (entry);

    if (audioOn())
    {
        const auto block = blocks.load (relaxed);

        if (function == functionProcessDoubleReplacing)
            scanOutputs<double> (function, block, target, outputs, sampleFrames);
        else
            scanOutputs<float> (function, block, target, outputs, sampleFrames);
    }

    if (callsOn())
        checkRecord (target, false, function);
}

//==============================================================================
void CallChecks::checkIndex (const AEffect* target, const char* call, std::int32_t index) noexcept
{
    if (target == nullptr || (index >= 0 && index < target->numParams))
        return;

    CheckLine().add (call).add (" index ").number (index).add (", the target has ").number (target->numParams)
        .add (target->numParams == 1 ? " parameter" : " parameters").breach (CheckRule::parameterIndex);
}

void CallChecks::checkValue (const char* call, std::int32_t index, float value) noexcept
{
    if (value >= 0.0f && value <= 1.0f)
        return;

    CheckLine().add (call).add (" value ").real (value).add (" for parameter ").number (index)
        .add (std::isnan (value) ? ", not a number" : ", outside 0..1").breach (CheckRule::parameterValue);
}

void CallChecks::beforeParameter (Entry& entry, const AEffect& target, AEffectFunction function, std::int32_t index,
                                  float value) noexcept
{
    if (! callsOn())
        return;

    const bool set = function == functionSetParameter;

    if (! opened.load (relaxed))
        CheckLine().function (function).add (" before effOpen").breach (CheckRule::callBeforeOpen);

    checkIndex (&target, set ? "setParameter" : "getParameter", index);

    if (! set)
        return;

    checkValue ("setParameter", index, value);

    // The target's echo of this very change comes back on this thread.
    if (echoThread.load (relaxed) == 0)
    {
        echoIndex.store (index, relaxed);
        echoThread.store (currentThreadId(), relaxed);
        entry.held |= heldEcho;
    }
}

void CallChecks::afterParameter (const Entry& entry) noexcept
{
    release (entry);
}

void CallChecks::checkEdit (std::int32_t opcode, std::int32_t index) noexcept
{
    if (index < 0 || index >= maxEditedParameters)
        return;

    const auto bit = std::uint64_t (1) << (index % 64);
    auto& word = editsOpen[index / 64];
    const bool begin = opcode == audioMasterBeginEdit;
    const bool wasOpen = ((begin ? word.fetch_or (bit) : word.fetch_and (~bit)) & bit) != 0;

    if (begin == wasOpen && (begin || editsKnown.load (relaxed)))
        CheckLine().call (false, opcode).add (" for parameter ").number (index)
            .add (begin ? " again before its EndEdit" : " without a BeginEdit").breach (CheckRule::editBalance);
}

void CallChecks::beforeAudioMaster (Entry& entry, const AEffect* target, std::int32_t opcode, std::int32_t index,
                                    float opt, void* ptr) noexcept
{
    if (! callsOn())
        return;

    if (opcode == audioMasterAutomate)
    {
        checkIndex (target, "audioMasterAutomate", index);
        checkValue ("audioMasterAutomate", index, opt);

        if (echoThread.load (relaxed) == currentThreadId() && echoIndex.load (relaxed) == index)
            CheckLine().add ("audioMasterAutomate for parameter ").number (index)
                .add (" from inside setParameter for it").breach (CheckRule::automationEcho);
    }
    else if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
    {
        checkEdit (opcode, index);
    }
    else if (opcode == audioMasterIOChanged && target != nullptr)
    {
        // From inside a block of this very thread: the host's handler would run on its audio thread.
        if (processThread.load (relaxed) == currentThreadId())
            CheckLine().add ("audioMasterIOChanged from inside ").function ((AEffectFunction) processFunction.load (relaxed))
                .breach (CheckRule::ioChangedFromAudio);

        noteRecord (*target); // what the host reads in its handler
    }

    textchecks::saveBefore (entry, false, opcode, ptr);
}

void CallChecks::afterAudioMaster (const Entry& entry, std::int32_t opcode, void* ptr) noexcept
{
    if (callsOn())
        textchecks::checkAfter (entry, false, opcode, ptr);
}
