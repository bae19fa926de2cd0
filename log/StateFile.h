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
// as it was. A file at the path that breaks the rules of FileChecks.h is
// left alone too, with "Refused state file <path>: a symbolic link" (": not
// a regular file", ": owned by another user"), and so is a refused state
// folder (StateLocation.h), with its line.
bool writeStateFile (const juce::File& pluginFile, const juce::File& lastDirectory,
                     const juce::File& target = {});

// [start-up] Restores lastDirectory, the remembered target (where
// asked for) and tbLogger's flags and options from the file where it exists
// and parses; otherwise changes nothing. A refused file or state folder is
// not read, and the writer's line says why.
void readStateFile (const juce::File& pluginFile, juce::File& lastDirectory, juce::File* target = nullptr);

// The reader's work on a document already in memory (also the fuzzers' entry).
void readStateDocument (const juce::String& documentText, juce::File& lastDirectory, juce::File* target = nullptr);
