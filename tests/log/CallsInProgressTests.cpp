// The table of calls in progress, and how the reports name calls and times.
#include "crash/CallsInProgress.h"
#include "crash/CrashReport.h"
#include "log/OpCodeCatalogue.h"
#include "platform/ThreadId.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <thread>

namespace
{
    using Calls = CallsInProgress;

    bool mySnapshot (Calls::Snapshot& out)
    {
        const auto* mine = callsInProgress.findThisThread();
        return mine != nullptr && callsInProgress.snapshot (callsInProgress.indexOf (*mine), out);
    }

    std::string nameOf (std::uint64_t what, bool withSide)
    {
        char text[128];
        LineWriter line (text);
        appendCallName (line, what, withSide);
        return line.text();
    }

    // Each call in a frame of its own, as each thunk is.
    template <typename Body>
    __attribute__ ((noinline)) void inCall (std::uint64_t what, Body&& body)
    {
        Calls::Scope scope (what);
        body (scope);
    }

    // A call that never returns through its scope, as when a host catches the
    // target's exception: its frame is left behind at a deeper stack address.
    __attribute__ ((noinline)) void leaveAFrameBehindHere()
    {
        union Unended
        {
            Unended() {}
            ~Unended() {} // the scope's own end never runs
            Calls::Scope scope;
        } unended;

        new (&unended.scope) Calls::Scope (Calls::describe (Calls::intoTarget, functionProcess));
    }

    // The call was made from deeper in the host than the next one.
    __attribute__ ((noinline)) void leaveAFrameBehind()
    {
        volatile char hostFrames[2048] {};
        leaveAFrameBehindHere();
        (void) hostFrames[0];
    }
}

TEST (CallsInProgress, NestedCallsKeepTheirChainAndUnwind)
{
    Calls::Snapshot calls;
    inCall (Calls::describe (Calls::intoTarget, functionDispatcher, 19), [&] (Calls::Scope&)
    {
        inCall (Calls::describe (Calls::intoHost, functionAudioMaster, 0), [&] (Calls::Scope&)
        {
            ASSERT_TRUE (mySnapshot (calls));
            EXPECT_EQ (calls.depth, 2);
            EXPECT_EQ (calls.threadId, currentThreadId());
            EXPECT_EQ (nameOf (calls.what[0], true), "the target's effEditIdle");
            EXPECT_EQ (nameOf (calls.what[1], true), "the host's audioMasterAutomate");
        });
        ASSERT_TRUE (mySnapshot (calls));
        EXPECT_EQ (calls.depth, 1);
    });
    EXPECT_FALSE (mySnapshot (calls));
}

TEST (CallsInProgress, AFrameLeftBehindIsDroppedAtTheNextCall)
{
    Calls::Snapshot calls;
    inCall (Calls::describe (Calls::intoTarget, functionDispatcher, 25), [&] (Calls::Scope&)
    {
        leaveAFrameBehind();
        ASSERT_TRUE (mySnapshot (calls));
        EXPECT_EQ (calls.depth, 2);

        inCall (Calls::describe (Calls::intoTarget, functionSetParameter), [&] (Calls::Scope&)
        {
            ASSERT_TRUE (mySnapshot (calls));
            EXPECT_EQ (calls.depth, 2);
            EXPECT_EQ (nameOf (calls.what[1], false), "setParameter");
        });
    });
    EXPECT_FALSE (mySnapshot (calls));
}

TEST (CallsInProgress, StartsFromTheLoggerOrAsTheWatchsBound)
{
    Calls::Snapshot calls;
    inCall (Calls::describe (Calls::intoTarget, functionProcessReplacing), [&] (Calls::Scope&)
    {
        ASSERT_TRUE (mySnapshot (calls));
        EXPECT_EQ (calls.since[0], 0u);

        callsInProgress.stampUnknownStarts();
        ASSERT_TRUE (mySnapshot (calls));
        EXPECT_TRUE (Calls::isStamped (calls.since[0]));
        EXPECT_LT (Calls::nanosecondsSince (calls.since[0]), 1000000000u);

        inCall (Calls::describe (Calls::intoTarget, functionGetParameter), [&] (Calls::Scope& timed)
        {
            timed.startedAt (monotonicNanoseconds() - 2000000);
            ASSERT_TRUE (mySnapshot (calls));
            EXPECT_FALSE (Calls::isStamped (calls.since[1]));
            EXPECT_GE (Calls::nanosecondsSince (calls.since[1]), 2000000u);
        });
    });
}

TEST (CallsInProgress, EachThreadHasItsOwnRecord)
{
    const Calls::Scope mine (Calls::describe (Calls::intoTarget, functionDispatcher, 19));
    std::uint32_t otherId = 0;
    int othersInACall = 0;

    std::thread other ([&]
    {
        Calls::Scope theirs (Calls::describe (Calls::intoTarget, functionProcessReplacing));
        otherId = currentThreadId();

        for (int i = 0; i < Calls::maxThreads; ++i)
            if (Calls::Snapshot calls; callsInProgress.snapshot (i, calls))
                othersInACall += calls.threadId != otherId ? 1 : 0;
    });
    other.join();

    EXPECT_NE (otherId, currentThreadId());
    EXPECT_GE (othersInACall, 1);
}

TEST (CallsInProgress, NamesAndDurations)
{
    const struct { std::uint64_t what; const char* name; } names[] = {
        { Calls::describe (Calls::intoTarget, functionDispatcher, 0), "effOpen" },
        { Calls::describe (Calls::intoTarget, functionDispatcher, 9999), "eff opcode 9999" },
        { Calls::describe (Calls::intoHost, functionAudioMaster, 7), "audioMasterGetTime" },
        { Calls::describe (Calls::intoTarget, functionProcessDoubleReplacing), "processDoubleReplacing" },
    };

    for (const auto& n : names)
        EXPECT_EQ (nameOf (n.what, false), n.name);

    const struct { std::uint64_t nanoseconds; const char* text; } durations[] = {
        { 400, "0.4 us" }, { 35200, "35.2 us" }, { 800000, "0.8 ms" }, { 12345678, "12.3 ms" }, { 7300000000u, "7.3 s" },
    };

    for (const auto& d : durations)
    {
        char text[64];
        LineWriter line (text);
        appendDuration (line, d.nanoseconds);
        EXPECT_STREQ (line.text(), d.text);
    }
}
