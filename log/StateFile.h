// The state file beside the Tattlebox library: enable flags, the options, the
// folder last browsed and, when the user asks for it, the target last loaded,
// kept from one use to the next.
#pragma once

#include <juce_core/juce_core.h>

// The library's file with its extension replaced by "xml".
juce::File getStateFile (const juce::File& pluginFile);

// Shut-down thread. Writes lastDirectory and tbLogger's state, and the
// target while tbLogger.rememberTarget is on; on failure writes "Failed to
// write logger state to <path>" and returns false; the previous file is left
// as it was.
bool writeStateFile (const juce::File& pluginFile, const juce::File& lastDirectory,
                     const juce::File& target = {});

// Start-up thread. Restores lastDirectory, the remembered target (where
// asked for) and tbLogger's flags and options from the file where it exists
// and parses; otherwise changes nothing.
void readStateFile (const juce::File& pluginFile, juce::File& lastDirectory, juce::File* target = nullptr);

// The reader's work on a document already in memory (also the fuzzers' entry).
void readStateDocument (const juce::String& documentText, juce::File& lastDirectory, juce::File* target = nullptr);
