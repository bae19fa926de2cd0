// dbgprint_probe (Windows only): checks tbsession's debug-output capture where
// it runs, wine included. Installs the capture on FILE, writes a 1023-character
// string, wide ones and many long ones from several threads at once, reads the
// file back and prints "ok" or what went wrong (exit status 0 or 1; 2 for
// bad usage).
#include "DebugCapture.h"

#ifndef WIN32_LEAN_AND_MEAN
 #define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int threadCount = 4;
constexpr int linesPerThread = 100;

// A line of exactly 1023 characters plus its line feed, as Tattlebox's longest.
std::string longLine (const std::string& head)
{
    std::string line = head;
    line.resize (1023, (char) ('a' + head.size() % 26));
    return line + "\n";
}
} // namespace

// Main thread.
int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: dbgprint_probe FILE\n");
        return 2;
    }

    std::string error;

    if (! tbsession::startDebugCapture (argv[1], error))
    {
        std::fprintf (stderr, "dbgprint_probe: %s\n", error.c_str());
        return 2;
    }

    // The wide exception raised by hand, as Windows 10 does for OutputDebugStringW;
    // older systems and wine 8 raise the narrow one with the ANSI code page's text.
    const wchar_t* const wide = L"wide: Gr\u00FC\u00DFe \u263A\n";
    const ULONG_PTR wideArguments[] { std::wcslen (wide) + 1, (ULONG_PTR) wide };
    const std::string utf8 = "wide: Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\xBA\n";
    char ansi[64] = {};
    ::WideCharToMultiByte (CP_ACP, 0, wide, -1, ansi, sizeof (ansi), nullptr, nullptr);

    std::vector<std::string> expected { longLine ("single "), utf8, utf8 };
    ::OutputDebugStringA (expected[0].c_str());
    ::RaiseException (0x4001000A, 0, 2, wideArguments);
    ::OutputDebugStringW (wide);

    std::vector<std::thread> threads;

    for (int t = 0; t < threadCount; ++t)
    {
        for (int i = 0; i < linesPerThread; ++i)
            expected.push_back (longLine ("thread " + std::to_string (t) + " line " + std::to_string (i) + " "));

        threads.emplace_back ([t]
        {
            for (int i = 0; i < linesPerThread; ++i)
                ::OutputDebugStringA (longLine ("thread " + std::to_string (t) + " line " + std::to_string (i) + " ").c_str());
        });
    }

    for (auto& thread : threads)
        thread.join();

    std::ifstream in (argv[1], std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();

    std::vector<std::string> lines;
    std::istringstream split (content.str());

    for (std::string line; std::getline (split, line);)
        lines.push_back (line + "\n");

    if (lines.size() > 2 && lines[2] == ansi)
        expected[2] = ansi;

    // The single strings come first and in order; the threads' lines interleave.
    const std::size_t singles = 3;
    bool ok = lines.size() == expected.size() && std::equal (expected.begin(), expected.begin() + singles, lines.begin());
    std::sort (expected.begin() + singles, expected.end());

    if (ok)
    {
        std::sort (lines.begin() + singles, lines.end());
        ok = lines == expected;
    }

    if (! ok)
    {
        std::printf ("FAIL: %zu lines of %zu expected, %zu bytes; first line %zu bytes\n", lines.size(), expected.size(),
                     content.str().size(), lines.empty() ? (std::size_t) 0 : lines[0].size());
        return 1;
    }

    std::printf ("ok: %zu strings captured whole; OutputDebugStringW arrived as %s\n", lines.size(),
                 lines[2] == utf8 ? "UTF-8" : "ANSI");
    return 0;
}
