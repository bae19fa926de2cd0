// The platform layer on its own: the message thread's life and the X error
// guard; and the banner's date line.
#include "tests/support/Threads.h"
#include <gtest/gtest.h> // before Xlib's macros

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "bridge/Bridge.h"
#include "platform/MessageThread.h"
#include "platform/linux/XErrorGuard.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <dirent.h>
#include <chrono>
#include <thread>

namespace
{
    using testsupport::countThreads;

    int hostErrors = 0;

    int countingHandler (::Display*, XErrorEvent*)
    {
        ++hostErrors;
        return 0;
    }

    // A request that the server always refuses (BadWindow), then a round trip to receive the error.
    void provokeXError (::Display* display)
    {
        XDestroyWindow (display, (Window) 0x7ffffff0);
        XSync (display, False);
    }
}

TEST (MessageThread, RunsTheFrameworkOnItsOwnThreadAndEndsCleanly)
{
    const auto threadsBefore = countThreads();

    for (int round = 0; round < 2; ++round) // a later start-up starts it again
    {
        MessageThread messageThread;
        messageThread.start();
        ASSERT_TRUE (messageThread.isRunning());

        std::thread::id ranOn;
        bool isMessageThread = false;
        EXPECT_TRUE (messageThread.callAndWait ([&]
        {
            ranOn = std::this_thread::get_id();
            isMessageThread = juce::MessageManager::existsAndIsCurrentThread();
        }));
        EXPECT_NE (ranOn, std::this_thread::get_id());
        EXPECT_TRUE (isMessageThread);

        messageThread.stop();
        EXPECT_FALSE (messageThread.isRunning());
        EXPECT_EQ (juce::MessageManager::getInstanceWithoutCreating(), nullptr);
        EXPECT_FALSE (messageThread.callAndWait ([] {}));
        // A helper thread of the framework's may still be on its way out on a busy machine.
        for (int waited = 0; waited < 2000 && countThreads() != threadsBefore; waited += 10)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));

        EXPECT_EQ (countThreads(), threadsBefore);
    }
}

TEST (XErrorGuard, OwnDisplaysErrorsAreIgnoredOthersReachTheHostsHandler)
{
    auto* hostDisplay = XOpenDisplay (nullptr);

    if (hostDisplay == nullptr)
        GTEST_SKIP() << "no X display";

    const auto hostHandler = XSetErrorHandler (countingHandler);
    MessageThread messageThread;
    messageThread.start();

    bool survived = false;
    messageThread.callAndWait ([&]
    {
        // Xlib's default handler would end the process here.
        provokeXError (juce::XWindowSystem::getInstance()->getDisplay());
        survived = true;
    });
    EXPECT_TRUE (survived);
    EXPECT_EQ (hostErrors, 0);

    provokeXError (hostDisplay);
    EXPECT_EQ (hostErrors, 1);

    messageThread.stop();
    EXPECT_EQ (XSetErrorHandler (hostHandler), countingHandler); // put back as it was
    XCloseDisplay (hostDisplay);
}

TEST (DateLine, TwelveHourClockWithABlankBeforeAmPm)
{
    const auto at = [] (int day, int month, int hours, int minutes, int seconds)
    {
        return formatDateLine (juce::Time (2026, month, day, hours, minutes, seconds, 0, true));
    };

    EXPECT_EQ (at (8, 11, 4, 1, 19), "8 Dec 2026 4:01:19 am");
    EXPECT_EQ (at (1, 0, 0, 5, 9), "1 Jan 2026 12:05:09 am");
    EXPECT_EQ (at (31, 6, 12, 0, 0), "31 Jul 2026 12:00:00 pm");
    EXPECT_EQ (at (15, 2, 23, 59, 59), "15 Mar 2026 11:59:59 pm");
}
