// A breach's line, made in pieces on the stack: "effEditIdle while
// effGetChunk runs on thread 1A2B".
#pragma once

#include "TextChecks.h"

namespace checks
{
    // A line about a call: "effEditIdle", then what follows.
    struct CheckLine
    {
        CheckLine() = default;
        CheckLine (const CheckLine&) = delete;

        char text[256];
        LineWriter line { text };

        CheckLine& call (bool dispatcher, std::int32_t opcode) { textchecks::appendCall (line, dispatcher, opcode); return *this; }
        CheckLine& function (AEffectFunction f) { textchecks::appendFunction (line, f); return *this; }
        CheckLine& add (const char* more) { line.append (more); return *this; }
        CheckLine& number (std::int64_t value) { line.appendDecimal (value); return *this; }
        CheckLine& real (float value) { line.appendFloat (value); return *this; }
        CheckLine& thread (std::uint32_t id) { line.appendLiteral ("thread "); line.appendHex (id); return *this; }
        void breach (CheckRule rule) { checkRules.breach (rule, line.text()); }
    };
}
