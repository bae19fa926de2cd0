// What a replayed call hands the plug-in: value and ptr rebuilt from the
// recording (texts, chunks, events, speaker arrangements, structures, the
// places a plug-in writes its answers to), and what a callback answers with.
#pragma once

#include "CallTree.h"
#include "vst/VstInterface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tbreplay
{
// One host-to-plug-in dispatcher call's arguments, alive while it runs.
class DispatcherArguments
{
public:
    // [replay threads] note: why the call cannot be made as recorded, if so.
    DispatcherArguments (const CallNode& node, std::string& note);

    VstIntPtr value = 0;
    void* ptr = nullptr;

    // After the call: the text the plug-in wrote, for an output text's opcode.
    bool hasOutputText() const noexcept { return outputText; }
    std::string writtenText() const;
    // After effEditGetRect: the rectangle the plug-in pointed to, if any.
    const ERect* writtenRectangle() const noexcept;

private:
    void events (const RecordedEvent& call, std::string& note);
    void arrangements (const RecordedEvent& call, std::string& note);

    std::vector<std::uint8_t> scratch;                   // texts, chunks, structures, written answers
    std::vector<std::vector<std::uint8_t>> pieces;       // events, arrangements
    std::vector<void*> pointers;                         // VstEvents' list, arrangements' places
    bool outputText = false;
};

// A callback's answer from the recording: the result, and what it writes into ptr.
// [replay threads] note: said where the recorded answer cannot be given as it was.
VstIntPtr answerFromRecording (const CallNode& callback, void* ptr, std::string& note);

// [any thread] Whether an opcode belongs to the editor (opened only with --editor).
bool isEditorCall (const recording::RecordHeader& header) noexcept;
}
