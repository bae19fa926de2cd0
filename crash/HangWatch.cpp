#include "HangWatch.h"
#include "CrashReport.h"

#include "../log/TBLogger.h"

HangWatch hangWatch;

namespace
{
    constexpr auto tick = std::chrono::milliseconds (100);

    // Hangs are told in seconds: "5.0 s".
    void appendSeconds (LineWriter& line, std::uint64_t nanoseconds) noexcept
    {
        line.appendTenths (nanoseconds / 100000000u);
        line.appendLiteral (" s");
    }

    void appendThread (LineWriter& line, std::uint32_t threadId) noexcept
    {
        line.appendLiteral ("Hang: thread ");
        line.appendHex (threadId);
    }
}

HangWatch::~HangWatch()
{
    // At the process's end the thread may be gone already: never terminate for it.
    if (thread.joinable())
        thread.detach();
}

void HangWatch::start()
{
    const std::lock_guard<std::mutex> guard (lock);

    if (running)
        return;

    running = true;

    try
    {
        thread = std::thread ([this] { run(); });
    }
    catch (...) // no thread: no hang lines
    {
        running = false;
    }
}

void HangWatch::stop()
{
    {
        const std::lock_guard<std::mutex> guard (lock);

        if (! running)
            return;

        running = false;
    }

    wake.notify_all();

    if (thread.joinable())
        thread.join();

    // A hang that ended since the last look still gets its line.
    look();
    setCurrentHang (nullptr);
}

void HangWatch::run()
{
    std::unique_lock<std::mutex> guard (lock);

    while (running)
    {
        wake.wait_for (guard, tick);

        if (running)
            look();
    }
}

void HangWatch::look() noexcept
{
    const auto limit = tbLogger.hangSeconds.load();
    callsInProgress.stampUnknownStarts();

    for (int i = 0; i < CallsInProgress::maxThreads; ++i)
        if (callsInProgress.thread (i).owner.load (std::memory_order_relaxed) != 0 || watched[i].reported)
            lookAt (i, limit);
}

void HangWatch::lookAt (int index, double limitSeconds) noexcept
{
    auto& seen = watched[index];
    CallsInProgress::Snapshot calls;
    const bool inACall = callsInProgress.snapshot (index, calls);

    if (seen.reported)
    {
        // Still there: the same frame at the same level, with the same start.
        if (inACall && calls.depth > seen.level && calls.since[seen.level] == seen.since)
            return;

        noteReturn (seen);
    }

    if (! inACall || limitSeconds <= 0.0)
        return;

    // The innermost call beyond the limit: the one that holds the others up.
    for (int level = calls.depth; --level >= 0;)
    {
        const auto nanoseconds = CallsInProgress::nanosecondsSince (calls.since[level]);

        if ((double) nanoseconds < limitSeconds * 1.0e9)
            continue;

        seen = { true, level, calls.since[level], calls.what[level], calls.threadId };

        char text[256];
        LineWriter line (text);
        appendThread (line, calls.threadId);
        line.appendLiteral (" has been in ");
        appendCallName (line, calls.what[level], true);
        line.appendLiteral (" for ");
        appendSeconds (line, nanoseconds);
        tbLogger.logLine (line.text());
        setCurrentHang (&seen);
        return;
    }
}

void HangWatch::noteReturn (Watched& seen) noexcept
{
    char text[256];
    LineWriter line (text);
    appendThread (line, seen.threadId);
    line.appendLiteral (" in ");
    appendCallName (line, seen.what, true);
    line.appendLiteral (" returned after ");
    appendSeconds (line, CallsInProgress::nanosecondsSince (seen.since));
    tbLogger.logLine (line.text());
    seen.reported = false;
    setCurrentHang (&seen);
}

void HangWatch::setCurrentHang (const Watched* hang) noexcept
{
    const std::lock_guard<std::mutex> guard (currentLock);

    // A hang that returned clears the note only where it is that hang's.
    if (hang == nullptr)
        current.reported = false;
    else if (hang->reported)
        current = *hang;
    else if (current.threadId == hang->threadId && current.since == hang->since)
        current.reported = false;
}

juce::String HangWatch::describeHang() const
{
    Watched hang;
    {
        const std::lock_guard<std::mutex> guard (currentLock);
        hang = current;
    }

    if (! hang.reported)
        return {};

    char text[256];
    LineWriter line (text);
    line.appendLiteral ("Hang in progress: thread ");
    line.appendHex (hang.threadId);
    line.appendLiteral (" in ");
    appendCallName (line, hang.what, true);
    line.appendLiteral (" for ");
    appendSeconds (line, CallsInProgress::nanosecondsSince (hang.since));
    return juce::String::fromUTF8 (line.text());
}
