// The state file beside the Tattlebox library: enable flags, the options, the
// folder last browsed and, when the user asks for it, the target last loaded,
// kept from one use to the next.
#pragma once

#include <juce_core/juce_core.h>

// [any thread] The library's file with its extension replaced by "xml", or
// the user's own copy of it where the library's folder may not be written to
// (StateLocation.h).
juce::File getStateFile (const juce::File& pluginFile);

// [shut-down] Writes lastDirectory and tbLogger's state, and the
// target while tbLogger.rememberTarget is on; on failure writes "Failed to
// write logger state to <path>" and returns false; the previous file is left
// as it was.
bool writeStateFile (const juce::File& pluginFile, const juce::File& lastDirectory,
                     const juce::File& target = {});

// [start-up] Restores lastDirectory, the remembered target (where
// asked for) and tbLogger's flags and options from the file where it exists
// and parses; otherwise changes nothing.
void readStateFile (const juce::File& pluginFile, juce::File& lastDirectory, juce::File* target = nullptr);

// The reader's work on a document already in memory (also the fuzzers' entry).
void readStateDocument (const juce::String& documentText, juce::File& lastDirectory, juce::File* target = nullptr);
