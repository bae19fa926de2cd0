// The control window as a person meets it: a host keeps a real plug-in open
// through Tattlebox.so, and the test looks at and clicks the real window on
// the X display.
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
    using namespace testsupport;

    const fs::path buildDir { TB_BUILD_DIR };

    // Window coordinates of the content's pieces: content at (3, 31), page at (204, 4) in it.
    constexpr int pageX = 3 + 204, pageY = 31 + 4;
    constexpr int rowHeight = 16, counterX = pageX + 222, counterWidth = 58;
    constexpr int columnX = 3 + 10, firstButtonY = 31 + 336, buttonStep = 28;

    void pause (int milliseconds)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (milliseconds));
    }

    std::string output (const std::string& command)
    {
        return commandOutput (command, false);
    }

    int countOf (const std::string& text, const std::string& part)
    {
        int n = 0;

        for (auto at = text.find (part); at != std::string::npos; at = text.find (part, at + 1))
            ++n;

        return n;
    }

    template <typename Condition>
    bool waitUntil (Condition condition, int milliseconds = 5000)
    {
        for (int waited = 0; waited < milliseconds; waited += 20)
        {
            if (condition())
                return true;

            pause (20);
        }

        return condition();
    }

    // The bare host in a process of its own, with Tattlebox.so in a folder of its own
    // (its state file lands there) and the scripted dialog answering tp_basic.so.
    class HostedTattlebox
    {
    public:
        HostedTattlebox()
        {
            dir = fs::temp_directory_path() / ("tb-window-" + std::to_string (getpid()));
            fs::remove_all (dir);
            fs::create_directories (dir);
            fs::copy_file (buildDir / "Tattlebox.so", dir / "Tattlebox.so");

            int commands[2];

            if (pipe (commands) != 0)
                return;

            pid = fork();

            if (pid == 0)
            {
                dup2 (commands[0], 0);
                close (commands[1]);
                freopen ((dir / "out.txt").c_str(), "w", stdout);
                freopen ((dir / "log.txt").c_str(), "w", stderr);
                const auto path = (buildDir / "fakebin").string() + ":" + std::getenv ("PATH");
                setenv ("PATH", path.c_str(), 1);
                setenv ("TB_ZENITY_ANSWER", (buildDir / "testplugins" / "tp_basic.so").c_str(), 1);
                execl (TB_WINDOWHOST, TB_WINDOWHOST, (dir / "Tattlebox.so").c_str(), (char*) nullptr);
                _exit (127);
            }

            close (commands[0]);
            input = commands[1];
        }

        ~HostedTattlebox()
        {
            if (pid > 0 && ! exited)
            {
                kill (pid, SIGKILL);
                waitpid (pid, nullptr, 0);
            }

            if (input >= 0)
                close (input);

            fs::remove_all (dir);
        }

        bool waitForOutput (const std::string& word, int times = 1)
        {
            return waitUntil ([&] { return countOf (readFile (dir / "out.txt"), word + "\n") >= times; }, 10000);
        }

        // Sends one command and waits until the host has carried it out.
        bool send (const std::string& command)
        {
            const auto line = command + "\n";
            const int before = countOf (readFile (dir / "out.txt"), "done\n");

            if (write (input, line.data(), line.size()) != (ssize_t) line.size())
                return false;

            return command == "close" ? waitForOutput ("closed") : waitForOutput ("done", before + 1);
        }

        int exitStatus()
        {
            int status = -1;

            if (waitpid (pid, &status, 0) == pid)
                exited = true;

            return status;
        }

        std::string log() const { return readFile (dir / "log.txt"); }

        fs::path dir;
        pid_t pid = -1;
        int input = -1;
        bool exited = false;
    };

    std::string findWindow (const std::string& title)
    {
        std::string id;
        waitUntil ([&]
        {
            std::istringstream ids (output ("xdotool search --onlyvisible --name '^" + title + "$'"));
            ids >> id;
            return ! id.empty();
        });
        return id;
    }

    // The pixels of one area of the window, as raw RGB.
    std::string pixels (const std::string& window, int x, int y, int w, int h)
    {
        return output ("timeout 10 import -window " + window + " -crop " + std::to_string (w) + "x" + std::to_string (h)
                       + "+" + std::to_string (x) + "+" + std::to_string (y) + " +repage rgb:-");
    }

    std::string counterPixels (const std::string& window, int row)
    {
        return pixels (window, counterX, pageY + row * rowHeight, counterWidth, rowHeight);
    }

    // The row's tick square, which changes colour with the entry's flag.
    std::string tickPixels (const std::string& window, int row)
    {
        return pixels (window, pageX + 3, pageY + row * rowHeight + 4, 8, 8);
    }

    void click (const std::string& window, int x, int y)
    {
        std::system (("xdotool mousemove --window " + window + " " + std::to_string (x) + " " + std::to_string (y)
                      + " click 1").c_str());
        pause (200);
    }

    bool isIconic (const std::string& window)
    {
        return output ("xprop -id " + window + " WM_STATE").find ("Iconic") != std::string::npos;
    }

    bool haveDesktopTools()
    {
        return std::getenv ("DISPLAY") != nullptr
            && std::system ("xdotool version >/dev/null 2>&1 && command -v import >/dev/null "
                            "&& command -v wmctrl >/dev/null && command -v xprop >/dev/null") == 0;
    }
}

TEST (ControlWindowEndToEnd, ShowsCallsLiveObeysClicksAndGoesWithClose)
{
    if (! haveDesktopTools())
        GTEST_SKIP() << "needs an X display with xdotool, wmctrl, xprop and ImageMagick";

    HostedTattlebox host;
    ASSERT_TRUE (host.waitForOutput ("ready")) << host.log();

    const auto window = findWindow ("Tattlebox - tp_basic.so");
    ASSERT_FALSE (window.empty()) << "the control window did not appear";
    pause (300);

    fs::create_directories (buildDir / "screens");
    std::system (("timeout 10 import -window " + window + " " + (buildDir / "screens" / "control-window.png").string()).c_str());

    // Counters on the page in front rise while audio runs.
    const int processReplacingRow = 3, dispatcherRow = 0;
    const auto before = counterPixels (window, processReplacingRow);
    ASSERT_TRUE (host.send ("process 20"));
    EXPECT_TRUE (waitUntil ([&] { return counterPixels (window, processReplacingRow) != before; }, 2000));
    EXPECT_EQ (countOf (host.log(), ":processReplacing("), 20);

    // A click on the row stops that function's lines; the counter goes on.
    const auto enabledTick = tickPixels (window, processReplacingRow);
    click (window, pageX + 100, pageY + processReplacingRow * rowHeight + 8);
    ASSERT_TRUE (waitUntil ([&] { return tickPixels (window, processReplacingRow) != enabledTick; }, 3000));
    const auto counted = counterPixels (window, processReplacingRow);
    ASSERT_TRUE (host.send ("process 5"));
    EXPECT_EQ (countOf (host.log(), ":processReplacing("), 20);
    EXPECT_TRUE (waitUntil ([&] { return counterPixels (window, processReplacingRow) != counted; }, 2000));

    // "Disable All" silences every call line while the counters still count.
    const int callLinesBefore = countOf (host.log(), ":eff");
    const auto dispatcherTick = tickPixels (window, dispatcherRow);
    click (window, columnX + 90, firstButtonY + buttonStep + 12);
    ASSERT_TRUE (waitUntil ([&] { return tickPixels (window, dispatcherRow) != dispatcherTick; }, 3000));
    const auto dispatcherCount = counterPixels (window, dispatcherRow);
    ASSERT_TRUE (host.send ("dispatch 53"));
    ASSERT_TRUE (host.send ("dispatch 53"));
    EXPECT_EQ (countOf (host.log(), ":eff"), callLinesBefore);
    EXPECT_TRUE (waitUntil ([&] { return counterPixels (window, dispatcherRow) != dispatcherCount; }, 2000));

    // The platform's close request leaves the window where it is.
    std::system (("wmctrl -i -c " + window).c_str());
    pause (400);
    EXPECT_EQ (findWindow ("Tattlebox - tp_basic.so"), window);

    // The title-bar button minimises; the timer keeps the counters live meanwhile.
    const auto beforeMinimise = counterPixels (window, dispatcherRow);
    click (window, 774 - 3 - 16, 3 + 14);
    EXPECT_TRUE (waitUntil ([&] { return isIconic (window); }, 3000));
    ASSERT_TRUE (host.send ("dispatch 53"));
    pause (200);
    std::system (("xdotool windowmap " + window + " windowactivate " + window).c_str());
    EXPECT_TRUE (waitUntil ([&] { return ! isIconic (window); }, 3000));
    EXPECT_TRUE (waitUntil ([&] { return counterPixels (window, dispatcherRow) != beforeMinimise; }, 2000));

    // The Log page shows the session's lines; the Options and Checks pages every switch.
    const auto tabY = [] (int index) { return 31 + 47 * index + 23; };
    click (window, 3 + 100, tabY (4));
    pause (400);
    std::system (("timeout 10 import -window " + window + " " + (buildDir / "screens" / "log-page.png").string()).c_str());
    click (window, 3 + 100, tabY (3));
    pause (400);
    std::system (("timeout 10 import -window " + window + " " + (buildDir / "screens" / "options-page.png").string()).c_str());
    click (window, 3 + 100, tabY (5));
    pause (400);
    std::system (("timeout 10 import -window " + window + " " + (buildDir / "screens" / "checks-page.png").string()).c_str());
    click (window, 3 + 100, tabY (3));
    EXPECT_TRUE (fs::exists (buildDir / "screens" / "log-page.png"));

    // Time Calls, on the Options page: the AEffect page then shows durations,
    // and a note with every figure over the row pointed at.
    const int timeCallsY = pageY + 176 + 11; // its row: two headings and four switches down
    click (window, pageX + 50, timeCallsY);
    click (window, 3 + 100, tabY (0));
    std::system (("xdotool mousemove --window " + window + " 700 600").c_str());
    ASSERT_TRUE (host.send ("process 20"));
    pause (300);
    const auto noteArea = [&] { return pixels (window, pageX + 40, pageY + 4 * rowHeight + 4, 200, 40); };
    const auto withoutNote = noteArea();
    std::system (("xdotool mousemove --window " + window + " " + std::to_string (pageX + 100) + " "
                  + std::to_string (pageY + processReplacingRow * rowHeight + 8)).c_str());
    EXPECT_TRUE (waitUntil ([&] { return noteArea() != withoutNote; }, 3000)) << "no timing note";
    std::system (("timeout 10 import -window " + window + " " + (buildDir / "screens" / "timing-note.png").string()).c_str());

    // Close takes the window away, and nothing of it runs on afterwards.
    ASSERT_TRUE (host.send ("close"));
    EXPECT_TRUE (waitUntil ([&] { return output ("xdotool search --name '^Tattlebox - tp_basic.so$'").empty(); }, 3000));
    EXPECT_EQ (host.exitStatus(), 0) << host.log();
    EXPECT_TRUE (fs::exists (host.dir / "Tattlebox.xml"));
}
