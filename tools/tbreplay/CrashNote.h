// Which recorded call a crash happened in: noted before every call, written
// by a handler that then lets the crash go on as it would without it (a
// debugger sees the fault first, as always).
#pragma once

#include <cstdint>

namespace tbreplay
{
// [main] Once, before the plug-in is loaded.
void installCrashNote();
// [replay threads] sequence 0: no call in progress.
void noteCallForCrash (std::uint64_t sequence, const char* name) noexcept;

// The note's text, written ahead so that the handler only writes it.
void formatCrashNote (char* text, std::size_t size, std::uint64_t sequence, const char* name) noexcept;
}
