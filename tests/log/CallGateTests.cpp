// The gate between calls and Close on its own, so that the sanitizers see
// it: a target freed by Close while two threads keep calling in must never
// be touched after it is gone (AddressSanitizer), and every access must be
// ordered by the gate (ThreadSanitizer).
#include "bridge/CallGate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace
{
    struct FakeTarget
    {
        int blocks[2] {}; // plain memory, one per caller: written only inside the gate
    };

    std::atomic<FakeTarget*> target { nullptr };
}

TEST (CallGate, CloseNeverFreesATargetACallIsStillInside)
{
    int turnedBack = 0;

    for (int cycle = 0; cycle < 200; ++cycle)
    {
        target = new FakeTarget;
        callGate.open();
        std::atomic<bool> stop { false };
        std::atomic<int> refused { 0 };

        auto caller = [&] (int index)
        {
            while (! stop.load())
            {
                if (! callGate.enter (CallGate::intoTarget))
                {
                    ++refused;
                    continue;
                }

                ++target.load()->blocks[index];
                callGate.leave (CallGate::intoTarget);
            }
        };

        std::thread audio (caller, 0), gui (caller, 1);
        std::this_thread::sleep_for (std::chrono::microseconds (50 + 20 * (cycle % 8)));

        ASSERT_TRUE (callGate.beginClose());
        EXPECT_FALSE (callGate.beginClose()) << "only the first Close";
        EXPECT_LE (callGate.waitForCalls (true, 0, 2000), 0);
        delete target.exchange (nullptr);
        callGate.endClose();

        std::this_thread::sleep_for (std::chrono::microseconds (100));
        stop = true;
        audio.join();
        gui.join();
        turnedBack += refused.load() > 0 ? 1 : 0;
        EXPECT_EQ (callGate.callsInside(), 0);
    }

    EXPECT_GT (turnedBack, 0);
}

TEST (CallGate, CountsCallsFromTheTargetApartAndNotesEachKindOnce)
{
    callGate.open();
    callGate.enterAlways (CallGate::fromTarget);
    EXPECT_EQ (callGate.callsInside(), 1);
    EXPECT_EQ (callGate.callsInTarget(), 0);
    // A call from the target still inside keeps the library, not effClose.
    EXPECT_LE (callGate.waitForCalls (true, 0, 10), 0);
    EXPECT_EQ (callGate.waitForCalls (false, 0, 10), 1);
    callGate.leave (CallGate::fromTarget);

    ASSERT_TRUE (callGate.beginClose());
    EXPECT_TRUE (callGate.firstTurnedBack (CallGate::closing, 3));
    EXPECT_FALSE (callGate.firstTurnedBack (CallGate::closing, 3));
    EXPECT_TRUE (callGate.firstTurnedBack (CallGate::idle, 3)) << "after Close is a phase of its own";
    EXPECT_FALSE (callGate.firstTurnedBack (CallGate::idle, CallGate::numKinds));
    callGate.endClose();
    callGate.open();
    EXPECT_TRUE (callGate.firstTurnedBack (CallGate::closing, 3)) << "a new session notes again";
    callGate.beginClose();
    callGate.endClose();
}
