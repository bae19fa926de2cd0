// The crash report: when a thread that is inside a call into the target
// (or inside Tattlebox's own code) crashes, the log gets what was still
// queued, then the report: the signal or exception and where it hit, the
// call each thread was in and for how long, and the crashing thread's stack
// as module and offset, one frame per line ("#3 MyDelay.so+0x1a2f0"), which
// tools/resolve-frames.sh turns into functions and lines. Then the crash
// goes on as it would have without Tattlebox (platform/CrashSignals.h).
//
// Any other thread's signal passes at once and silently: runtimes in a host
// raise and handle their own.
#pragma once

#include "../log/LineWriter.h"

#include <cstdint>

// [start-up] Installs the handlers where "Report Crashes" is on.
void startCrashReports() noexcept;

// [shut-down] Removes them; false where a handler of someone else's stands
// on top of one of ours, and the library must stay loaded.
bool stopCrashReports() noexcept;

// [any thread, realtime] A call as the report and the hang lines name it:
// "effEditIdle", "processReplacing", "audioMasterGetTime"; with its side,
// "the target's effEditIdle", "the host's audioMasterGetTime".
void appendCallName (LineWriter& line, std::uint64_t what, bool withSide) noexcept;

// [any thread, realtime] "0.8 ms", "35.2 us", "7.3 s".
void appendDuration (LineWriter& line, std::uint64_t nanoseconds) noexcept;
