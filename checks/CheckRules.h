// The rules of the VST 2 contract that "Check Calls" and "Check Audio"
// hold every call to, and what each rule found: a count, the first
// breach's line for the Checks page (the switch of each rule is the
// logger's option, TBLogger::checkRuleOn). A breach
// writes "Check: " and what happened, then ", thread 1A2B", through every
// sink: the first few in full, then only counted; Close writes every
// rule's count.
//
// Breaches come from any thread, audio threads included: counting and
// writing them allocates nothing and takes no lock.
#pragma once

#include "CheckRuleNames.h"
#include "../log/LineWriter.h"

#include <atomic>
#include <cstdint>

class CheckRules
{
public:
    // Breaches written in full per rule; later ones are counted.
    static constexpr std::uint64_t breachesWritten = 3;
    static constexpr int firstLineBytes = 256;

    // [any thread, realtime] Counts a breach of the rule and, among its first
    // ones, writes "Check: <text>, thread <id>"; nothing where the rule is off.
    void breach (CheckRule rule, const char* text) noexcept;

    // [any thread]
    std::uint64_t getCount (CheckRule rule) const noexcept { return counts[(int) rule].load (std::memory_order_relaxed); }
    // [message] The first breach's line since the last reset; empty when none.
    const char* getFirstLine (CheckRule rule) const noexcept;

    // [message] "Reset Counters": counts and first lines start over.
    void resetCounts() noexcept;
    // [shut-down] "Check summary: processing while suspended: 12", one per
    // rule that found something, or "Check summary: no breaches".
    void writeSummary() const noexcept;

private:
    std::atomic<std::uint64_t> counts[numCheckRules] {};
    // 0: empty, 1: being written, 2: done.
    std::atomic<int> firstState[numCheckRules] {};
    char firstLines[numCheckRules][firstLineBytes] {};
};

// The one set of rules of this library.
extern CheckRules checkRules;
