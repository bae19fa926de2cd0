// What the message thread does alike on every platform: taking work from other threads.
#include "MessageThread.h"

#include <juce_events/juce_events.h>

#include <memory>

bool MessageThread::post (std::function<void()> fn)
{
    return isRunning() && juce::MessageManager::callAsync (std::move (fn));
}

bool MessageThread::callAndWait (std::function<void()> fn)
{
    if (! isRunning())
        return false;

    if (isThisTheMessageThread())
    {
        fn();
        return true;
    }

    // Runs when the message thread next dispatches: at once on Linux, where
    // it is ours; on Windows when the host pumps its thread.
    juce::WaitableEvent done;

    if (! post ([&fn, &done]
                {
                    try { fn(); } catch (...) {} // the waiting thread must wake whatever happens
                    done.signal();
                }))
        return false;

    done.wait();
    return true;
}

bool MessageThread::callAndWait (std::function<void()> fn, int timeoutMs)
{
    if (! isRunning())
        return false;

    if (isThisTheMessageThread())
    {
        fn();
        return true;
    }

    // Shared with the message, which may outlive this wait.
    struct Call
    {
        std::function<void()> fn;
        juce::WaitableEvent done;
    };

    auto call = std::make_shared<Call>();
    call->fn = std::move (fn);

    if (! post ([call]
                {
                    try { call->fn(); } catch (...) {}
                    call->done.signal();
                }))
        return false;

    return call->done.wait ((double) timeoutMs);
}
