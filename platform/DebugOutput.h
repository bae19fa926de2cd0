// The debug-output channel: standard error. Each line and its line feed leave
// in one write call, so that lines of different threads never mix. No
// allocation, no lock: safe on audio threads.
#pragma once

#include <cstddef>

// Any thread. length is the text's length without terminator; longer text than
// the logger's line limit is cut.
void writeDebugLine (const char* text, std::size_t length) noexcept;
