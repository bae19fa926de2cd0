// The texts a call's callee writes into its caller's buffer, against the
// VST 2 limits: the target's names, labels and displays, its parameter and
// pin properties, the host's vendor and product strings. The buffer's first
// 256 bytes (the room hosts commonly give) are copied before the call, so
// that a callee that wrote nothing is told from one that wrote the same.
#pragma once

#include "CallChecks.h"

namespace textchecks
{
    // [any thread, realtime] Before the call: keeps the buffer's bytes where the call carries a text.
    void saveBefore (CallChecks::Entry& entry, bool dispatcher, std::int32_t opcode, const void* ptr) noexcept;

    // [any thread, realtime] After it: a text longer than its limit, or without its end in its field.
    void checkAfter (const CallChecks::Entry& entry, bool dispatcher, std::int32_t opcode, const void* ptr) noexcept;

    // [any thread, realtime] "effGetParamName", "audioMasterAutomate", "processReplacing".
    void appendCall (LineWriter& line, bool dispatcher, std::int32_t opcode) noexcept;
    void appendFunction (LineWriter& line, AEffectFunction function) noexcept;
}
