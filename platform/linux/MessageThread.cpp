#include "../MessageThread.h"
#include "XErrorGuard.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

namespace juce
{
    // juce_events' Linux run loop (not in its public headers).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
    // Static and trivially destructible: a thread abandoned at process exit
    // (a host that never sent Close) may still read it.
    std::atomic<bool> quitRequested { false };

    void runMessageLoop (juce::WaitableEvent* started, juce::WaitableEvent* wakeUpPosted)
    {
        juce::initialiseJuce_GUI(); // makes this thread the framework's message thread
        XErrorGuard::install();
        started->signal();

        // Blocks in poll until a message or an X event arrives.
        while (! quitRequested.load())
            juce::dispatchNextMessageOnSystemQueue (false);

        // Shutting down deletes the message queue: not inside one of its
        // callbacks, and not before the stopping thread has left its post().
        wakeUpPosted->wait();
        juce::shutdownJuce_GUI();
        XErrorGuard::remove();
    }
}

MessageThread::~MessageThread()
{
    // Only reached still running when the host exits without Close: a
    // joinable std::thread would terminate the process here, and joining
    // would wait on a loop nobody stops. Leave it to the process's end.
    if (thread.joinable())
        thread.detach();
}

void MessageThread::start()
{
    if (isRunning())
        return;

    quitRequested = false;
    juce::WaitableEvent started;
    thread = std::thread (runMessageLoop, &started, &wakeUpPosted);
    started.wait();
}

bool MessageThread::stop()
{
    if (! isRunning())
        return true;

    if (isThisTheMessageThread())
    {
        // Cannot join itself; only a message callback could get here.
        jassertfalse;
        return false;
    }

    quitRequested = true;
    post ([] {}); // wakes the loop from its poll
    wakeUpPosted.signal();
    thread.join();
    return true;
}

bool MessageThread::isRunning() const noexcept
{
    return thread.joinable();
}

bool MessageThread::isThisTheMessageThread() const noexcept
{
    return thread.get_id() == std::this_thread::get_id();
}
