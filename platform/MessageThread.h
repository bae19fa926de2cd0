// The GUI framework's message thread. On Linux nothing pumps a plug-in's
// windows, so the framework runs on a thread of Tattlebox's own, started by
// start-up and stopped by shut-down; other threads hand it work and wait.
#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <thread>

class MessageThread
{
public:
    MessageThread() = default;
    ~MessageThread();

    // Start-up thread: starts the thread, which brings the framework up on
    // itself before start() returns.
    void start();

    // Shut-down thread: the thread shuts the framework down and ends; waits for it.
    void stop();

    bool isRunning() const noexcept { return thread.joinable(); }

    // Any thread but the message thread: runs fn there and waits for it.
    // Runs fn directly on the message thread itself; false when not running.
    bool callAndWait (std::function<void()> fn);

    // Any thread: queues fn for the message thread; false when not running.
    bool post (std::function<void()> fn);

private:
    std::thread thread;
    juce::WaitableEvent wakeUpPosted;

    MessageThread (const MessageThread&) = delete;
    MessageThread& operator= (const MessageThread&) = delete;
};
