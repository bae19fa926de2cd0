// The GUI framework's message thread, from start-up to shut-down. On Linux
// nothing pumps a plug-in's windows, so the framework runs on a thread of
// Tattlebox's own; on Windows it is the host's thread that calls the entry,
// which the host pumps. Other threads hand it work and wait.
#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <thread>

class MessageThread
{
public:
    MessageThread() = default;
    ~MessageThread();

    // [start-up] Brings the framework up on the message thread before returning.
    void start();

    // [shut-down] Shuts the framework down on the message thread and waits for it.
    void stop();

    // [any thread]
    bool isRunning() const noexcept;

    // [any thread] Runs fn on the message thread and waits for it.
    // Runs fn directly on the message thread itself; false when not running.
    bool callAndWait (std::function<void()> fn);

    // [any thread] Queues fn for the message thread; false when not running.
    bool post (std::function<void()> fn);

    // [any thread] Whether the caller is the message thread.
    bool isThisTheMessageThread() const noexcept;

private:
   #if defined (_WIN32)
    std::atomic<std::thread::id> owner {};
    std::atomic<bool> running { false };
   #else
    std::thread thread;
    juce::WaitableEvent wakeUpPosted;
   #endif

    MessageThread (const MessageThread&) = delete;
    MessageThread& operator= (const MessageThread&) = delete;
};
