// The state file on Windows: read and replaced as it always was, beside the DLL
// (the log file's own rules are in AppendFile.cpp).
#include "../FileChecks.h"

FileFault checkFileToReplace (const juce::File&)
{
    return FileFault::none;
}

FileFault readCheckedFile (const juce::File& file, juce::MemoryBlock& bytes, std::size_t maxBytes)
{
    bytes.reset();

    if (! file.existsAsFile())
        return FileFault::cannotOpen;

    juce::FileInputStream in (file);

    if (! in.openedOk() || in.readIntoMemoryBlock (bytes, (ssize_t) maxBytes + 1) > maxBytes)
    {
        bytes.reset();
        return FileFault::cannotOpen;
    }

    return FileFault::none;
}
