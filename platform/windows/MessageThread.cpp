#include "../MessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

MessageThread::~MessageThread() = default;

void MessageThread::start()
{
    if (isRunning())
        return;

    // The host pumps the thread that calls the entry: the framework's
    // windows and timers live there, as in any Windows plug-in.
    owner = std::this_thread::get_id();
    juce::initialiseJuce_GUI();
    running = true;
}

void MessageThread::stop()
{
    if (! isRunning())
        return;

    running = false;
    juce::shutdownJuce_GUI();
    owner = std::thread::id();
}

bool MessageThread::isRunning() const noexcept
{
    return running.load();
}

bool MessageThread::isThisTheMessageThread() const noexcept
{
    return owner.load() == std::this_thread::get_id();
}
