// CallChecks: what "Check Calls" and "Check Audio" hold each call to
// (CheckRules.h has the rules). The thunks ask `anyOn` once per call; only
// then do they call in here, before the call is forwarded and after it
// returned. The session's state (opened, resumed, the block size, the
// editor, the edits open, which thread is inside the target) lives in
// atomics that any thread may read and write: no lock, no allocation.
//
// The convention held to is the VST 2 SDK's own documentation and its
// example host, as DEVELOPERS.md lists rule by rule.
#pragma once

#include "CheckRules.h"
#include "../log/OpCodeCatalogue.h"
#include "../log/TBLogger.h"
#include "../vst/VstInterface.h"

#include <atomic>
#include <cstdint>

class CallChecks
{
public:
    // [any thread, realtime] The thunks' one question: "Check Calls" or "Check Audio".
    bool anyOn() const noexcept
    {
        return tbLogger.checkCalls.load (std::memory_order_relaxed) || tbLogger.checkAudio.load (std::memory_order_relaxed);
    }

    // What a call took while it runs (the places "inside the target" it
    // holds), handed back at its end.
    struct Entry
    {
        std::uint8_t held = 0;
        std::uint8_t textBefore[256];
        std::uint16_t textBytes = 0;
        bool textSaved = false;
    };

    // [start-up] A new session with the target's record as it came from its entry.
    void startSession (const AEffect& target) noexcept;
    // [message] The checks switched on in the middle of a session, whose
    // state they did not follow while off: opened is taken for granted, and
    // the rules on resume, StartProcess, the editor and the edits wait until
    // their state is seen again.
    void joinSession() noexcept;
    // [shut-down] What Close leaves open (the editor, the edits), then every rule's count.
    void endSession() noexcept;

    // [any thread, realtime] The host's dispatcher calls.
    void beforeDispatcher (Entry& entry, const AEffect& target, std::int32_t opcode, std::int32_t index,
                           VstIntPtr value, void* ptr) noexcept;
    void afterDispatcher (const Entry& entry, const AEffect& target, std::int32_t opcode, void* ptr) noexcept;

    // [audio] The three process functions; samples are float or double.
    void beforeBlock (Entry& entry, const AEffect& target, AEffectFunction function, void* const* inputs,
                      void* const* outputs, std::int32_t sampleFrames) noexcept;
    void afterBlock (const Entry& entry, const AEffect& target, AEffectFunction function, void* const* outputs,
                     std::int32_t sampleFrames) noexcept;

    // [any thread, realtime] setParameter and getParameter.
    void beforeParameter (Entry& entry, const AEffect& target, AEffectFunction function, std::int32_t index,
                          float value) noexcept;
    void afterParameter (const Entry& entry) noexcept;

    // [any thread, realtime] The target's calls to the host; target is nullptr during its entry.
    void beforeAudioMaster (Entry& entry, const AEffect* target, std::int32_t opcode, std::int32_t index,
                            float opt, void* ptr) noexcept;
    void afterAudioMaster (const Entry& entry, std::int32_t opcode, void* ptr) noexcept;

private:
    enum Held : std::uint8_t { heldDispatcher = 1, heldProcess = 2, heldSetup = 4, heldEcho = 8 };
    static constexpr int maxEditedParameters = 4096;

    void checkState (const AEffect& target, std::int32_t opcode, VstIntPtr value) noexcept;
    void checkEditor (std::int32_t opcode) noexcept;
    void checkOverlap (Entry& entry, std::int32_t opcode) noexcept;
    void checkRecord (const AEffect& target, bool dispatcher, std::int32_t where) noexcept;
    void checkEdit (std::int32_t opcode, std::int32_t index) noexcept;
    void checkIndex (const AEffect* target, const char* call, std::int32_t index) noexcept;
    void checkValue (const char* call, std::int32_t index, float value) noexcept;
    void noteRecord (const AEffect& target) noexcept;
    void release (const Entry& entry) noexcept;
    static bool callsOn() noexcept { return tbLogger.checkCalls.load (std::memory_order_relaxed); }
    static bool audioOn() noexcept { return tbLogger.checkAudio.load (std::memory_order_relaxed); }

    // The session.
    std::atomic<bool> sessionOpen { false };
    // Where the checks joined late: whether each state has been seen since.
    std::atomic<bool> resumeKnown { true }, processKnown { true }, editorKnown { true }, editsKnown { true };
    std::atomic<bool> opened { false }, resumed { false }, everResumed { false }, processing { false };
    std::atomic<bool> editorOpen { false };
    std::atomic<std::uint32_t> editorThread { 0 };
    std::atomic<std::int32_t> blockSize { 0 };
    std::atomic<std::int32_t> precision { -1 }; // -1 never said, 0 single, 1 double
    std::atomic<std::uint32_t> firstProcessThread { 0 };
    std::atomic<std::uint64_t> blocks { 0 };

    // Who is inside the target now, and in what.
    std::atomic<std::uint32_t> dispatcherThread { 0 }, processThread { 0 }, setupThread { 0 };
    std::atomic<std::int32_t> dispatcherOpcode { 0 }, setupOpcode { 0 };
    std::atomic<int> processFunction { 0 };
    std::atomic<std::uint32_t> echoThread { 0 };
    std::atomic<std::int32_t> echoIndex { -1 };

    // audioMasterBeginEdit without its EndEdit yet, one bit per parameter.
    std::atomic<std::uint64_t> editsOpen[maxEditedParameters / 64] {};

    // The record's figures the host last heard of.
    std::atomic<std::int32_t> knownInputs { 0 }, knownOutputs { 0 }, knownDelay { 0 }, knownFlags { 0 };

    friend struct CallChecksText;
};

// The one set of checks of this library.
extern CallChecks callChecks;
