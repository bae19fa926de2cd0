// CallGate: which calls are inside Tattlebox and the target right now, so
// that Close never pulls the target from under a call still running in it.
//
// Every thunk counts itself in and out of its thread's own slot: a call into
// the target adds one to both halves of the slot's word, a call from the
// target to the host only to the low half (its thread runs in the target's
// code too, and returns there).
//
// The gate's phase says whether calls may go on into the target. A call
// counts itself in first and then reads the phase; Close sets the phase
// first and then sums the slots, so either Close sees the call, or the call
// sees Close and turns back. Where the system offers a process-wide barrier
// (platform/ProcessBarrier.h), a slot is written with plain moves and Close
// makes the order hold with that barrier: a call pays no atomic addition.
// Otherwise (Windows, threads beyond the slots, ThreadSanitizer builds),
// slots are shared by thread id and counted with sequentially consistent
// additions.
#pragma once

#include "../log/OpCodeCatalogue.h"
#include "../platform/ThreadId.h"

#include <atomic>
#include <cstdint>

class CallGate
{
public:
    enum Phase : int
    {
        idle = 0,     // no target: before the first main, and after Close
        hosting = 1,  // calls go on into the target
        closing = 2   // Close is on its way: calls turn back
    };

    // What a call into the target adds to its shard, and a call from it.
    static constexpr std::uint64_t intoTarget = (std::uint64_t (1) << 32) | 1;
    static constexpr std::uint64_t fromTarget = 1;

    // [any thread, realtime] Counts the call in; true where it may go on into
    // the target. A call turned back has counted itself out again.
    bool enter (std::uint64_t kind) noexcept
    {
        enterAlways (kind);

        // Sequentially consistent: after a shared slot's locked addition, this
        // load is ordered by the language too (on x86 a plain move either way).
        if (phase.load() == hosting)
            return true;

        leave (kind);
        return false;
    }

    // [any thread, realtime] Counts in a call that goes on whatever the phase
    // (the target's calls to the host).
    void enterAlways (std::uint64_t kind) noexcept
    {
        auto& slot = slotOfThisThread();

        if (isOwned (slot))
        {
            slot.calls.store (slot.calls.load (std::memory_order_relaxed) + kind, std::memory_order_relaxed);
            std::atomic_signal_fence (std::memory_order_seq_cst); // the barrier on Close's side does the rest
        }
        else
        {
            slot.calls.fetch_add (kind);
        }
    }

    // [any thread, realtime]
    void leave (std::uint64_t kind) noexcept
    {
        auto& slot = slotOfThisThread();

        if (isOwned (slot))
            slot.calls.store (slot.calls.load (std::memory_order_relaxed) - kind, std::memory_order_release);
        else
            slot.calls.fetch_sub (kind, std::memory_order_release);
    }

    // [any thread, realtime]
    Phase currentPhase() const noexcept { return (Phase) phase.load (std::memory_order_acquire); }

    // [start-up] Calls may go on into the target; the notes of turned-back calls start over.
    void open() noexcept;

    // [shut-down] The first Close takes the gate from hosting to closing;
    // false for every other caller (a second Close, a Close with no target).
    bool beginClose() noexcept;

    // [shut-down] The gate ends idle.
    void endClose() noexcept { phase.store (idle); }

    // [shut-down] Waits, up to timeoutMs, until at most `allowed` calls are
    // inside the target (inTarget) or inside Tattlebox at all; returns how
    // many are still there (0 or fewer: none beyond those allowed).
    std::int64_t waitForCalls (bool inTarget, std::int64_t allowed, int timeoutMs) const noexcept;

    // [any thread] Calls inside the target, and inside Tattlebox at all.
    std::int64_t callsInTarget() const noexcept;
    std::int64_t callsInside() const noexcept;

    // [any thread, realtime] Whether this is the first call of its kind
    // turned back in the current phase: the one that gets a line.
    // kind: an AEffect function, or numAEffectFunctions + a dispatcher opcode.
    bool firstTurnedBack (Phase when, int kind) noexcept;

    static constexpr int numKinds = numAEffectFunctions + numDispatcherOpCodes;

private:
    static constexpr int numOwnedSlots = 256;
    static constexpr int numSharedSlots = 32;

    struct alignas (64) Slot
    {
        std::atomic<std::uint64_t> calls { 0 };
        std::atomic<std::uint32_t> owner { 0 }; // the thread id an owned slot belongs to
    };

    // [any thread, realtime] Claimed on the thread's first call, then kept.
    Slot& slotOfThisThread() noexcept
    {
       #if defined (_WIN32)
        return sharedSlots[currentThreadId() / threadIdStep % numSharedSlots];
       #else
        static thread_local Slot* mine __attribute__ ((tls_model ("initial-exec"))) = nullptr;

        if (mine == nullptr)
            mine = &claimSlot();

        return *mine;
       #endif
    }

    bool isOwned (const Slot& slot) const noexcept { return &slot < ownedSlots + numOwnedSlots && &slot >= ownedSlots; }

    Slot& claimSlot() noexcept;
    std::uint64_t sum() const noexcept;

    std::atomic<int> phase { idle };
    Slot ownedSlots[numOwnedSlots];
    Slot sharedSlots[numSharedSlots];
    // [0]: during Close, [1]: after it.
    std::atomic<bool> noted[2][numKinds] {};
};

// The one gate between the host, Tattlebox and the target.
extern CallGate callGate;
