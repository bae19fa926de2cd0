#include "CallTree.h"
#include "log/OpCodeCatalogue.h"

#include <algorithm>
#include <map>

using namespace recording;

namespace tbreplay
{
namespace
{
    bool isReturn (std::uint8_t type)
    {
        return type == typeReturn || type == typeHostReturn;
    }

    // Finds the open call this return ends: normally the innermost one.
    CallNode* closeCall (std::vector<CallNode*>& open, std::uint64_t sequence)
    {
        for (auto i = open.size(); i-- > 0;)
        {
            if (open[i]->sequence() != sequence)
                continue;

            auto* node = open[i];
            open.resize (i); // calls inside it that never returned end with it
            return node;
        }

        return nullptr;
    }
}

CallTree buildCallTree (const Recording& recording)
{
    CallTree tree;
    std::map<std::uint16_t, std::vector<CallNode*>> open; // per role

    for (const auto& event : recording.events)
    {
        const auto& header = event.header;
        auto& stack = open[header.role];
        tree.numRoles = std::max (tree.numRoles, header.role + 1);

        if (isReturn (header.type))
        {
            if (auto* node = closeCall (stack, header.sequence))
            {
                node->result = &event;
                node->resultText = recordedPayload::text (event);
            }
            else
                tree.problems.push_back ("the return of call " + std::to_string (header.sequence) + " matches no call");

            continue;
        }

        auto& node = tree.nodes.emplace_back();
        node.call = &event;

        if (! stack.empty())
        {
            node.parent = stack.back();
            node.parent->children.push_back (&node);
        }
        else if (node.fromHost())
        {
            tree.schedule.push_back (&node);
        }
        else
        {
            tree.unattached.push_back (&node);
        }

        stack.push_back (&node);
    }

    const auto bySequence = [] (const CallNode* a, const CallNode* b) { return a->sequence() < b->sequence(); };
    std::stable_sort (tree.schedule.begin(), tree.schedule.end(), bySequence);
    std::stable_sort (tree.unattached.begin(), tree.unattached.end(), bySequence);
    return tree;
}

std::string callName (const RecordHeader& header)
{
    const auto opcode = header.opcode;

    switch (header.function)
    {
        case recordedEntry:       return "main";
        case recordedDispatcher:
            return (std::uint32_t) opcode < (std::uint32_t) numDispatcherOpCodes
                       ? std::string ("eff") + dispatcherOpCodes[opcode].name
                       : "dispatcher opcode " + std::to_string (opcode);
        case recordedAudioMaster:
            return (std::uint32_t) opcode < (std::uint32_t) numAudioMasterOpCodes
                       ? std::string ("audioMaster") + audioMasterOpCodes[opcode].name
                       : "audioMaster opcode " + std::to_string (opcode);
        case recordedProcess:                return "process";
        case recordedProcessReplacing:       return "processReplacing";
        case recordedProcessDoubleReplacing: return "processDoubleReplacing";
        case recordedSetParameter:           return "setParameter";
        case recordedGetParameter:           return "getParameter";
        default:                             return "function " + std::to_string (header.function);
    }
}
}
