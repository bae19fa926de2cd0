// The GUI framework's message thread, from start-up to shut-down. On Linux
// nothing pumps a plug-in's windows, so the framework runs on a thread of
// Tattlebox's own; on Windows it is the host's thread that calls the entry,
// which the host pumps. Other threads hand it work and wait.
#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <functional>
#include <thread>

class MessageThread
{
public:
    MessageThread() = default;
    ~MessageThread();

    // [start-up] Brings the framework up on the message thread before returning.
    void start();

    // [shut-down] Shuts the framework down on the message thread and waits
    // for it; false where that thread did not get to it in time (Windows:
    // a host that does not pump while it closes), and the framework's
    // windows still stand: the library must then stay loaded.
    bool stop();

    // [any thread]
    bool isRunning() const noexcept;

    // [any thread] Runs fn on the message thread and waits for it.
    // Runs fn directly on the message thread itself; false when not running.
    bool callAndWait (std::function<void()> fn);
    // The same, waiting at most timeoutMs: false when fn has not run by
    // then (it may still run later, so it must not refer to the caller's stack).
    bool callAndWait (std::function<void()> fn, int timeoutMs);

    // [any thread] Queues fn for the message thread; false when not running.
    bool post (std::function<void()> fn);

    // [any thread] Whether the caller is the message thread.
    bool isThisTheMessageThread() const noexcept;

private:
   #if defined (_WIN32)
    void shutDownHere();
    static std::intptr_t __stdcall relayProcedure (void* window, unsigned message, std::uintptr_t, std::intptr_t);

    std::atomic<std::thread::id> owner {};
    std::atomic<bool> running { false };
    void* relayWindow = nullptr;   // receives a shut-down sent from another thread
    void* shutDownDone = nullptr;  // event: the owner thread has shut the framework down
   #else
    std::thread thread;
    juce::WaitableEvent wakeUpPosted;
   #endif

    MessageThread (const MessageThread&) = delete;
    MessageThread& operator= (const MessageThread&) = delete;
};
