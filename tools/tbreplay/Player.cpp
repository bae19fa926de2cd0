#include "Player.h"
#include "Arguments.h"
#include "CrashNote.h"
#include "EditorWindow.h"
#include "log/TBLogger.h"
#include "platform/PluginLibrary.h"
#include "platform/ThreadId.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace recording;

namespace tbreplay
{
namespace
{
    Player* current = nullptr;

    // The calls this thread is inside: the innermost is the one its callbacks belong to.
    thread_local std::vector<CallNode*> playing;

    struct Inside
    {
        explicit Inside (CallNode& node) { playing.push_back (&node); }
        ~Inside() { playing.pop_back(); }
    };
}

// A place to break in a debugger: the replay stops right after it.
extern "C" __attribute__ ((noinline)) void tbreplayStopped (std::uint64_t sequence)
{
    asm volatile ("" : : "r" (sequence) : "memory");
}

Player::Player (const Recording& r, CallTree& t, const Options& o)
    : recording (r), tree (t), options (o)
{
    current = this;

    for (auto* node : tree.unattached)
        unattachedByOpcode[node->call->header.opcode].push_back (node);
}

Player::~Player()
{
    for (auto& [number, role] : roles)
    {
        {
            const std::lock_guard<std::mutex> hold (role->lock);
            role->quit = true;
        }

        role->changed.notify_all();

        if (role->thread.joinable())
            role->thread.join();
    }

    // The editor's window goes with the thread that made it, if any is left; here at the end.
    closeEditorParent (editorParent);
    current = nullptr;
}

void Player::say (const std::string& line)
{
    const std::lock_guard<std::mutex> hold (sayLock);
    std::fprintf (stderr, "tbreplay: %s\n", line.c_str());
    std::fflush (stderr);
}

int Player::run()
{
    library = loadPluginLibrary (juce::File (options.pluginPath));

    if (library == nullptr || findPluginEntry (*library) == nullptr)
    {
        say ("cannot load " + options.pluginPath + " as a VST 2 plug-in");
        return exitCannotLoad;
    }

    for (auto* node : tree.schedule)
    {
        auto& role = roles[node->role()];

        if (role == nullptr)
        {
            role = std::make_unique<Role>();
            role->number = node->role();
            role->thread = std::thread ([this, &role = *role] { serve (role); });
        }
    }

    for (auto* node : tree.schedule)
    {
        if (options.delayMilliseconds > 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (options.delayMilliseconds));

        playOnItsRole (*node);
    }

    const auto answered = tree.unattached.size();
    std::string summary = "played " + std::to_string (played.load()) + " calls of " + std::to_string (tree.schedule.size())
                        + " outermost ones";

    if (editorSkipped > 0)
        summary += ", skipped " + std::to_string (editorSkipped.load()) + " editor calls (replayed with --editor)";

    say (summary + "; " + std::to_string (neutralAnswers.load()) + " callbacks answered 0 for want of a recorded answer"
         + (answered > 0 ? ", " + std::to_string (answered) + " recorded outside any call" : std::string()));

    if (! options.compare)
        return exitDone;

    const auto audio = audioDifferences.load();
    say ("compared " + std::to_string (compared.load()) + " calls: " + std::to_string (differences.load()) + " differences ("
         + std::to_string (otherDifferences.load()) + " in results, values and texts; " + std::to_string (audio) + " in blocks' audio"
         + (audio > 0 ? ", the first in block " + std::to_string (firstDifferingBlock.load()) : std::string()) + ")");
    return differences > 0 ? exitDifferent : exitDone;
}

void Player::serve (Role& role)
{
    for (bool first = true;; first = false)
    {
        std::unique_lock<std::mutex> hold (role.lock);
        role.changed.wait (hold, [&role] { return role.work != nullptr || role.quit; });

        if (role.quit)
            return;

        // The log's thread ids by role, as --info gives the recording's: only
        // roles that play a call (one of the plug-in's own threads is none).
        if (first && options.log)
        {
            char id[16];
            std::snprintf (id, sizeof (id), "%X", currentThreadId());
            say ("role " + std::to_string (role.number) + ": thread " + id);
        }

        hold.unlock();

        if (options.editor)
            pumpEditorMessages();

        play (*role.work);
        hold.lock();
        role.work = nullptr;
        role.changed.notify_all();
    }
}

// One outermost call at a time, on the thread of the role that made it.
void Player::playOnItsRole (CallNode& node)
{
    auto& role = *roles.at (node.role()); // made in run()
    std::unique_lock<std::mutex> hold (role.lock);
    role.work = &node;
    role.changed.notify_all();
    role.changed.wait (hold, [&role] { return role.work == nullptr; });
}

void Player::stopBefore (const CallNode& node)
{
    say ("stopped before call " + std::to_string (node.sequence()) + " (" + callName (node.call->header) + ")");
    tbreplayStopped (node.sequence());
    std::fflush (stdout);
    std::_Exit (exitDone);
}

void Player::play (CallNode& node)
{
    const auto& header = node.call->header;

    if (options.stopBefore != 0 && node.sequence() >= options.stopBefore)
        stopBefore (node);

    if (isEditorCall (header) && ! options.editor)
    {
        ++editorSkipped;
        return;
    }

    if (header.function != recordedEntry && effect == nullptr)
        return;

    noteCallForCrash (node.sequence(), callName (header).c_str());
    Inside inside (node);
    ++played;

    switch (header.function)
    {
        case recordedEntry:      playEntry (node); break;
        case recordedDispatcher: playDispatcher (node); break;
        case recordedProcess:
        case recordedProcessReplacing:
        case recordedProcessDoubleReplacing: playBlock (node); break;
        case recordedSetParameter:
        case recordedGetParameter: playParameter (node); break;
        default: break;
    }

    // Back in the call this one was made inside, if any.
    if (playing.size() > 1)
        noteCallForCrash (playing[playing.size() - 2]->sequence(), callName (playing[playing.size() - 2]->call->header).c_str());
    else
        noteCallForCrash (0, nullptr);
}

void Player::playEntry (CallNode& node)
{
    auto entry = findPluginEntry (*library);
    auto* made = entry (&Player::hostCallback);

    if (made == nullptr || made->magic != kEffectMagic)
    {
        say ("the plug-in's entry gave back " + std::string (made == nullptr ? "no effect" : "a record with the wrong magic"));
        return;
    }

    effect = made;
    compareEffect (node);
}

VstIntPtr Player::hostCallback (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    if (current == nullptr)
        return 0;

    auto& logger = tbLogger;
    const bool logged = current->options.log;
    const auto started = logged ? logger.logAudioMasterCall (opcode, index, value, ptr, opt) : 0;
    const auto result = current->answer (opcode, index, value, ptr, opt);

    if (logged)
        logger.logAudioMasterReturn (opcode, ptr, result, index, value, started);

    return result;
}

// The callback the recording holds at this point: within the call this
// thread plays, the first one of the opcode not yet answered; outside any,
// the next of those the plug-in's own threads made.
CallNode* Player::matchCallback (std::int32_t opcode)
{
    if (! playing.empty())
    {
        for (auto* child : playing.back()->children)
        {
            if (child->fromHost() || child->answered || child->call->header.opcode != opcode)
                continue;

            child->answered = true;
            return child;
        }

        return nullptr;
    }

    const std::lock_guard<std::mutex> hold (unattachedLock);
    auto& list = unattachedByOpcode[opcode];
    auto& next = unattachedNext[opcode];
    return next < list.size() ? list[next++] : nullptr;
}

VstIntPtr Player::answer (std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float)
{
    auto* callback = matchCallback (opcode);
    const auto where = playing.empty() ? std::string ("outside the host's calls")
                                       : "in call " + std::to_string (playing.back()->sequence());

    if (callback == nullptr)
    {
        if (++neutralAnswers <= maxLinesPerKind)
        {
            RecordHeader header {};
            header.function = recordedAudioMaster;
            header.opcode = opcode;
            say (callName (header) + " " + where + " is not in the recording: answered 0");
        }

        return 0;
    }

    // The host's calls made inside this callback come first, from inside it.
    for (auto* inner : callback->children)
        if (inner->fromHost())
            play (*inner);

    std::string note;
    const auto result = answerFromRecording (*callback, ptr, note);

    if (! note.empty())
        say (callName (callback->call->header) + " " + where + ": " + note);

    return result;
}
}
