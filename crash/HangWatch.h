// The hang watch: a thread of Tattlebox's own, from start-up to Close,
// that looks at the calls in progress ten times a second (and stamps those
// whose start no clock reading gave, CallsInProgress.h). A call into the
// target (or into the host) that has run longer than "hangSeconds" (5 s;
// 0 switches the watch off) gets one line while it still runs:
// "Hang: thread 1A2B has been in the target's effEditIdle for 5.0 s", and
// one when it returns: "Hang: thread 1A2B in the target's effEditIdle
// returned after 7.3 s".
//
// A thread of its own rather than a timer of the message thread: on
// Windows that thread is the host's, the very one an editor call hangs.
#pragma once

#include "CallsInProgress.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class HangWatch
{
public:
    HangWatch() = default;
    ~HangWatch();

    // [start-up] Starts the thread unless it runs.
    void start();
    // [shut-down] or [load/unload] Ends it after one last look, so that a
    // hang that ended since still gets its line; one still in progress is left.
    void stop();

    // [message] The latest hang while it lasts, with its time so far:
    // "Hang in progress: thread 1A2B in the target's effEditIdle for 12.3 s";
    // empty when none.
    juce::String describeHang() const;

    // [any thread] Tests: one look at the calls, as the thread takes each tenth of a second.
    void look() noexcept;

private:
    struct Watched
    {
        bool reported = false;
        int level = 0;
        std::uint64_t since = 0, what = 0;
        std::uint32_t threadId = 0;
    };

    void run();
    void lookAt (int index, double limitSeconds) noexcept;
    void noteReturn (Watched& watched) noexcept;
    // A hang reported, or one that returned (reported false); nullptr: none.
    void setCurrentHang (const Watched* hang) noexcept;

    Watched watched[CallsInProgress::maxThreads];
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    bool running = false;

    mutable std::mutex currentLock;
    Watched current; // reported false: none
};

// The one watch of this library.
extern HangWatch hangWatch;
