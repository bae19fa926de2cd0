// libFuzzer: arbitrary bytes as the content of the state file. Besides the
// sanitizers, it checks that whatever state a document leaves behind is
// written and read back unchanged.
#include "log/StateFile.h"
#include "log/TBLogger.h"
#include "tests/support/LoggerState.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
void discardLine (const char*, std::size_t) {}

using testsupport::flagsAndOptions;

// The document writeStateFile would write, in memory.
juce::String documentFor (const juce::File& lastDirectory, const juce::File& target)
{
    juce::XmlElement root ("Tattlebox");
    root.createNewChildElement ("LastDir")->addTextElement (lastDirectory.getFullPathName());

    if (tbLogger.rememberTarget && target != juce::File())
        root.createNewChildElement ("Target")->addTextElement (target.getFullPathName());

    tbLogger.saveToXml (*root.createNewChildElement ("Logger"));
    return root.toString();
}

// The reader normalises line ends and outer blanks; such folder names do not
// survive a round trip, and need not.
bool survivesRoundTrip (const juce::File& folder)
{
    const auto path = folder.getFullPathName();
    return path.isNotEmpty() && ! path.containsChar ('\r') && path == path.trim();
}
} // namespace

static std::vector<bool> defaults;

// The fuzzer's thread, once.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    tbLogger.setLineSink (discardLine);
    tbLogger.initialise ("Tattlebox.so");
    defaults = flagsAndOptions();
    return 0;
}

// The fuzzer's thread.
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    tbLogger.initialise ("Tattlebox.so");
    juce::File lastDirectory, target;
    readStateDocument (juce::String::createStringFromData (data, (int) size), lastDirectory, &target);

    const auto restored = flagsAndOptions();

    if (restored == defaults && lastDirectory == juce::File() && target == juce::File())
        return 0; // nothing read: the round trip of the defaults is no news

    const auto document = documentFor (lastDirectory, target);
    const bool targetWritten = tbLogger.rememberTarget && target != juce::File();

    tbLogger.initialise ("Tattlebox.so");
    TBLogger::toggleAllOpCodesEnabled();
    tbLogger.logTime = ! tbLogger.logTime;
    juce::File reread, rereadTarget;
    readStateDocument (document, reread, &rereadTarget);

    if (flagsAndOptions() != restored)
        std::abort();

    if (survivesRoundTrip (lastDirectory) && reread != lastDirectory)
        std::abort();

    if (targetWritten && survivesRoundTrip (target) && rereadTarget != target)
        std::abort();

    return 0;
}
