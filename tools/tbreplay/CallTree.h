// A recording as the calls it holds: each call with its result and the calls
// made the other way while it ran (a host's call with the plug-in's
// callbacks inside it, a callback with the host's calls inside that), and
// the host's outermost calls in the order they were made.
#pragma once

#include "record/RecordReader.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tbreplay
{
struct CallNode
{
    const RecordedEvent* call = nullptr;
    const RecordedEvent* result = nullptr; // null: the call never returned (a crash, a cut)
    CallNode* parent = nullptr;
    std::vector<CallNode*> children;
    bool answered = false;                 // a callback the replay has matched
    std::string resultText;                // a text result, with its terminator (GetDirectory)

    bool fromHost() const noexcept { return call->header.type == recording::typeCall; }
    std::uint64_t sequence() const noexcept { return call->header.sequence; }
    std::uint16_t role() const noexcept { return call->header.role; }
};

struct CallTree
{
    std::deque<CallNode> nodes;
    std::vector<CallNode*> schedule;   // the host's outermost calls, by number
    std::vector<CallNode*> unattached; // callbacks outside any call of the host (the plug-in's own threads)
    std::vector<std::string> problems; // returns that match no call
    int numRoles = 0;
};

// [any thread] The recording must outlive the tree.
CallTree buildCallTree (const Recording& recording);

// [any thread] "effGetParamName", "audioMasterGetTime", "processReplacing", "main".
std::string callName (const recording::RecordHeader& header);
}
