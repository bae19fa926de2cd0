// What the message thread does alike on every platform: taking work from other threads.
#include "MessageThread.h"

#include <juce_events/juce_events.h>

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
