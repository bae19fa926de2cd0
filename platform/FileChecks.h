// The rules every file Tattlebox itself opens by name (the log file, the state
// file) must meet, since it is put between a host and a plug-in exactly when
// something is wrong, and a hostile file must not make it hang or write where
// it should not: not a symbolic link (it is never followed), not a FIFO or a
// device (an open never blocks), a regular file owned by the user. Windows
// refuses reparse points and what is not a file on a disk, and leaves
// ownership alone.
#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

enum class FileFault
{
    none,           // meets the rules
    cannotOpen,     // the system's own refusal: missing, no permission, a folder...
    symbolicLink,
    notRegularFile,
    foreignOwner
};

// [any thread, realtime] What a refusal line ends with (": a symbolic link",
// ": not a regular file", ": owned by another user"); nullptr for none and
// cannotOpen, which keep the lines they always had.
const char* describeRefusal (FileFault fault) noexcept;

// [start-up/shut-down] Why the file may not be replaced: a missing file, or a
// folder (whose failure the writer reports as before), gives none.
FileFault checkFileToReplace (const juce::File& file);

// [start-up] The whole file into bytes, where it meets the rules and holds at
// most maxBytes; otherwise bytes is left empty and the fault says why
// (cannotOpen also for a file that is too large).
FileFault readCheckedFile (const juce::File& file, juce::MemoryBlock& bytes, std::size_t maxBytes);
