// The state file beside the Tattlebox library: enable flags, three options and
// the folder last browsed, kept from one use to the next.
#pragma once

#include <juce_core/juce_core.h>

// The library's file with its extension replaced by "xml".
juce::File getStateFile (const juce::File& pluginFile);

// Shut-down thread. Writes lastDirectory and tbLogger's state; on failure
// writes "Failed to write logger state to <path>" and returns false; the
// previous file is left as it was.
bool writeStateFile (const juce::File& pluginFile, const juce::File& lastDirectory);

// Start-up thread. Restores lastDirectory and tbLogger's flags and options
// from the file where it exists and parses; otherwise changes nothing.
void readStateFile (const juce::File& pluginFile, juce::File& lastDirectory);

// The reader's work on a document already in memory (also the fuzzers' entry).
void readStateDocument (const juce::String& documentText, juce::File& lastDirectory);
