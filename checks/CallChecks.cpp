#include "CallChecks.h"
#include "CheckLine.h"

#include "../platform/ThreadId.h"

#include <cmath>

CallChecks callChecks;

namespace
{
    enum Opcode : std::int32_t
    {
        effOpen = 0, effClose = 1, effSetProgram = 2, effSetSampleRate = 10, effSetBlockSize = 11,
        effMainsChanged = 12, effEditGetRect = 13, effEditOpen = 14, effEditClose = 15, effEditIdle = 19,
        effIdentify = 22, effSetChunk = 24, effProcessEvents = 25, effSetSpeakerArrangement = 42,
        effSetBlockSizeAndSampleRate = 43, effGetVstVersion = 58, effStartProcess = 71, effStopProcess = 72,
        effSetProcessPrecision = 77
    };

    enum HostOpcode : std::int32_t
    {
        audioMasterAutomate = 0, audioMasterIOChanged = 13, audioMasterBeginEdit = 43, audioMasterEndEdit = 44
    };

    constexpr auto relaxed = std::memory_order_relaxed;
    using checks::CheckLine;

    // What the SDK lets a host ask before effOpen: what the plug-in is.
    bool allowedBeforeOpen (std::int32_t opcode) noexcept
    {
        return opcode == effOpen || opcode == effClose || opcode == effIdentify || opcode == effGetVstVersion;
    }

    bool isSetup (std::int32_t opcode) noexcept
    {
        return opcode == effSetSampleRate || opcode == effSetBlockSize || opcode == effSetBlockSizeAndSampleRate
            || opcode == effSetSpeakerArrangement || opcode == effSetProcessPrecision;
    }

    // Calls that change what a block works with: no block may run beside them.
    bool excludesBlocks (std::int32_t opcode) noexcept
    {
        return opcode == effMainsChanged || opcode == effSetChunk || opcode == effSetProgram || opcode == effClose;
    }

    bool isEditorCall (std::int32_t opcode) noexcept
    {
        return opcode == effEditOpen || opcode == effEditClose || opcode == effEditIdle || opcode == effEditGetRect;
    }

    // Takes a place inside the target for this thread; false where another
    // thread holds it. Plain loads and stores, no locked instruction: two
    // threads that come in at the very same moment may both take it, and
    // the overlap goes unseen that once; a breach is never made up.
    bool take (std::atomic<std::uint32_t>& place, std::uint32_t self, std::uint32_t& holder) noexcept
    {
        holder = place.load (relaxed);

        if (holder != 0)
            return false;

        place.store (self, relaxed);
        holder = self;
        return true;
    }
}

//==============================================================================
void CallChecks::startSession (const AEffect& target) noexcept
{
    for (auto* flag : { &opened, &resumed, &everResumed, &processing, &editorOpen })
        flag->store (false);

    for (auto* id : { &editorThread, &firstProcessThread, &dispatcherThread, &processThread,
                      &setupThread, &echoThread })
        id->store (0);

    for (auto& word : editsOpen)
        word.store (0);

    for (auto* known : { &resumeKnown, &processKnown, &editorKnown, &editsKnown })
        known->store (true);

    blockSize = 0;
    precision = -1;
    blocks = 0;
    noteRecord (target);
    checkRules.resetCounts();
    sessionOpen = true;
}

void CallChecks::joinSession() noexcept
{
    if (! sessionOpen.load())
        return;

    opened = true;
    editorOpen = false;

    for (auto* id : { &dispatcherThread, &processThread, &setupThread, &echoThread, &firstProcessThread })
        id->store (0);

    for (auto* known : { &resumeKnown, &processKnown, &editorKnown, &editsKnown })
        known->store (false);
}

void CallChecks::endSession() noexcept
{
    if (! sessionOpen.exchange (false))
        return;

    if (callsOn())
    {
        if (editorOpen.load() && editorKnown.load())
            checkRules.breach (CheckRule::editorState, "the editor still open at Close");

        for (int word = 0; editsKnown.load() && word < maxEditedParameters / 64; ++word)
            for (auto bits = editsOpen[word].load(); bits != 0; bits &= bits - 1)
                CheckLine().call (false, audioMasterBeginEdit).add (" for parameter ")
                    .number (word * 64 + __builtin_ctzll (bits)).add (" still open at Close").breach (CheckRule::editBalance);
    }

    checkRules.writeSummary();
}

void CallChecks::noteRecord (const AEffect& target) noexcept
{
    knownInputs = target.numInputs;
    knownOutputs = target.numOutputs;
    knownDelay = target.initialDelay;
    knownFlags = target.flags;
}

// "numInputs changed from 2 to 4 in effMainsChanged without audioMasterIOChanged";
// where: a dispatcher opcode, or an AEffect function (dispatcher false).
void CallChecks::checkRecord (const AEffect& target, bool dispatcher, std::int32_t where) noexcept
{
    const struct { const char* name; std::atomic<std::int32_t>& known; std::int32_t now; } fields[] = {
        { "numInputs", knownInputs, target.numInputs }, { "numOutputs", knownOutputs, target.numOutputs },
        { "initialDelay", knownDelay, target.initialDelay }, { "flags", knownFlags, target.flags },
    };

    for (const auto& field : fields)
    {
        const auto before = field.known.load (relaxed);

        if (before != field.now)
        {
            field.known.store (field.now, relaxed);
            CheckLine line;
            line.add (field.name).add (" changed from ").number (before).add (" to ").number (field.now).add (" in ");
            (dispatcher ? line.call (true, where) : line.function ((AEffectFunction) where))
                .add (" without audioMasterIOChanged").breach (CheckRule::recordWithoutIOChanged);
        }
    }
}

void CallChecks::release (const Entry& entry) noexcept
{
    if ((entry.held & heldDispatcher) != 0) dispatcherThread.store (0, std::memory_order_release);
    if ((entry.held & heldProcess) != 0)    processThread.store (0, std::memory_order_release);
    if ((entry.held & heldSetup) != 0)      setupThread.store (0, std::memory_order_release);
    if ((entry.held & heldEcho) != 0)       echoThread.store (0, std::memory_order_release);
}

//==============================================================================
void CallChecks::checkState (const AEffect&, std::int32_t opcode, VstIntPtr value) noexcept
{
    if (! opened.load (relaxed) && ! allowedBeforeOpen (opcode))
        CheckLine().call (true, opcode).add (" before effOpen").breach (CheckRule::callBeforeOpen);

    if (opcode == effOpen && opened.load (relaxed))
        checkRules.breach (CheckRule::openTwice, "effOpen twice");

    const bool isResumed = resumed.load (relaxed);
    const bool resumeSeen = resumeKnown.load (relaxed);

    if (isSetup (opcode) && isResumed && resumeSeen)
        CheckLine().call (true, opcode).add (" while resumed").breach (CheckRule::setupWhileResumed);

    if (opcode == effProcessEvents && ! isResumed && resumeSeen)
        CheckLine().call (true, opcode).add (everResumed.load (relaxed) ? " while suspended (effMainsChanged 0 since)"
                                                                        : " while suspended (no effMainsChanged 1 since effOpen)")
            .breach (CheckRule::processWhileSuspended);

    if (opcode == effStartProcess || opcode == effStopProcess) // rare: a locked exchange is fine
    {
        const bool start = opcode == effStartProcess;

        const bool known = processKnown.exchange (true, relaxed);

        if (processing.exchange (start, relaxed) == start && known)
            checkRules.breach (CheckRule::processBalance, start ? "effStartProcess twice without effStopProcess"
                                                                : "effStopProcess without effStartProcess");
        if (! isResumed && resumeSeen)
            CheckLine().call (true, opcode).add (" while suspended").breach (CheckRule::processBalance);
    }

    if (opcode == effMainsChanged)
    {
        resumeKnown = true;
        resumed = value != 0;
        everResumed = everResumed.load (relaxed) || value != 0;
    }
    else if (opcode == effSetBlockSize)
    {
        blockSize = (std::int32_t) value;
    }
    else if (opcode == effSetProcessPrecision)
    {
        precision = (std::int32_t) value;
    }
    else if (opcode == effSetBlockSizeAndSampleRate)
    {
        blockSize = (std::int32_t) value;
    }
}

void CallChecks::checkEditor (std::int32_t opcode) noexcept
{
    const auto self = currentThreadId();

    if (opcode == effEditOpen)
    {
        if (editorOpen.exchange (true) && editorKnown.load (relaxed))
            checkRules.breach (CheckRule::editorState, "effEditOpen while the editor is open");

        editorThread = self;
        editorKnown = true;
        return;
    }

    if (const auto opener = editorThread.load (relaxed); editorOpen.load (relaxed) && opener != self)
        CheckLine().call (true, opcode).add (", the editor was opened on ").thread (opener).breach (CheckRule::editorThread);

    if (opcode == effEditClose && ! editorOpen.exchange (false) && editorKnown.exchange (true))
        checkRules.breach (CheckRule::editorState, "effEditClose without effEditOpen");
}

// One dispatcher call inside the target at a time (the audio thread's
// events aside), and no block beside a call that changes what blocks use.
void CallChecks::checkOverlap (Entry& entry, std::int32_t opcode) noexcept
{
    const auto self = currentThreadId();
    std::uint32_t holder = 0;

    if (opcode != effProcessEvents)
    {
        if (take (dispatcherThread, self, holder))
        {
            entry.held |= heldDispatcher;
            dispatcherOpcode.store (opcode, relaxed);
        }
        else if (holder != self)
        {
            CheckLine().call (true, opcode).add (" while ").call (true, dispatcherOpcode.load (relaxed))
                .add (" runs on ").thread (holder).breach (CheckRule::concurrentDispatcher);
        }
    }

    if (! excludesBlocks (opcode))
        return;

    if (take (setupThread, self, holder))
    {
        entry.held |= heldSetup;
        setupOpcode.store (opcode, relaxed);
    }

    if (const auto block = processThread.load (relaxed); block != 0 && block != self)
        CheckLine().call (true, opcode).add (" while ").function ((AEffectFunction) processFunction.load (relaxed))
            .add (" runs on ").thread (block).breach (CheckRule::processDuringSetup);
}

void CallChecks::beforeDispatcher (Entry& entry, const AEffect& target, std::int32_t opcode, std::int32_t,
                                   VstIntPtr value, void* ptr) noexcept
{
    if (! callsOn())
        return;

    checkState (target, opcode, value);

    if (isEditorCall (opcode))
        checkEditor (opcode);

    checkOverlap (entry, opcode);
    textchecks::saveBefore (entry, true, opcode, ptr);
}

void CallChecks::afterDispatcher (const Entry& entry, const AEffect& target, std::int32_t opcode, void* ptr) noexcept
{
    release (entry);

    if (! callsOn())
        return;

    if (opcode == effOpen)
        opened = true;

    textchecks::checkAfter (entry, true, opcode, ptr);

    // The host reads the record after effOpen (the SDK's own host does): a
    // plug-in may set its channels and latency there.
    if (opcode == effOpen)
        noteRecord (target);
    else if (opcode != effClose)
        checkRecord (target, true, opcode);
}
