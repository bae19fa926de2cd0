// Plays a recording against a plug-in loaded directly: each recorded thread
// role on a thread of its own, the host's outermost calls in the recorded
// order (one at a time), the host's calls made inside a callback from inside
// the same callback, and the plug-in's callbacks answered from the recording
// (matched by position and opcode within the call they were made in).
#pragma once

#include "CallTree.h"
#include "vst/VstInterface.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tbreplay
{
struct Options
{
    std::string recordingPath, pluginPath;
    bool log = false, decode = false, compare = false, editor = false;
    std::uint64_t stopBefore = 0; // 0: play to the end
    int delayMilliseconds = 0;
};

enum ExitStatus
{
    exitDone = 0,
    exitUsage = 1,
    exitRecordingRefused = 2,
    exitCannotLoad = 3,
    exitDifferent = 4
};

class Player
{
public:
    Player (const Recording& recording, CallTree& tree, const Options& options);
    ~Player();

    // [main] The whole replay; the exit status.
    int run();

private:
    struct Role
    {
        std::thread thread;
        std::mutex lock;
        std::condition_variable changed;
        CallNode* work = nullptr;
        bool quit = false;
        int number = 0;
    };

    static VstIntPtr hostCallback (AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);

    void serve (Role& role);
    void playOnItsRole (CallNode& node);
    void play (CallNode& node);
    void playEntry (CallNode& node);
    void playDispatcher (CallNode& node);
    void playBlock (CallNode& node);
    void playParameter (CallNode& node);
    VstIntPtr answer (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
    CallNode* matchCallback (std::int32_t opcode);
    void stopBefore (const CallNode& node);

    // The findings, on standard error: differences with --compare, answers the recording lacks.
    void say (const std::string& line);
    // A block's output is audio; the rest (results, values, texts, the effect's fields) is not.
    void differs (const CallNode& node, const std::string& what, bool audio = false);
    void compareResult (const CallNode& node, VstIntPtr result);
    void compareBlock (const CallNode& node, void* const* outputs, std::uint32_t channels, std::uint32_t frames, std::uint32_t bytesPerSample);
    void compareRectangle (const CallNode& node, VstIntPtr result, const ERect* rectangle);
    void compareEffect (const CallNode& node);

    const Recording& recording;
    CallTree& tree;
    Options options;
    std::unique_ptr<juce::DynamicLibrary> library;
    AEffect* effect = nullptr;
    void* editorParent = nullptr; // with --editor, once effEditOpen came
    std::pair<int, int> editorSize { 640, 480 }; // the last effEditGetRect's, once one came
    std::map<std::uint16_t, std::unique_ptr<Role>> roles; // those with calls to play

    std::mutex unattachedLock;
    std::map<std::int32_t, std::vector<CallNode*>> unattachedByOpcode;
    std::map<std::int32_t, std::size_t> unattachedNext;

    std::mutex sayLock;
    std::atomic<std::uint64_t> played { 0 }, editorSkipped { 0 }, neutralAnswers { 0 }, differences { 0 };
    std::atomic<std::uint64_t> blocksPlayed { 0 }, compared { 0 };
    // Audio apart: a plug-in that is not deterministic differs there first,
    // and its blocks' lines must not hide the results that differ.
    std::atomic<std::uint64_t> audioDifferences { 0 }, otherDifferences { 0 }, firstDifferingBlock { 0 };
    static constexpr int maxLinesPerKind = 20;
};
}
