// tbhost's command line.
#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace tbhost
{

struct Options
{
    double sampleRate = 44100.0;
    int blockSize = 512;
    int blocks = 32;
    int cycles = 1;
    int editorMilliseconds = -1; // below zero: the editor is not opened
    bool parameterPass = true;
    bool doublePrecision = false; // where the plug-in offers it
    juce::File dumpFile;         // none when it is the default File
    juce::File plugin;
};

// Main thread. Returns nothing and sets error when the command line is unusable.
std::optional<Options> parseOptions (const juce::StringArray& args, juce::String& error);

extern const char* const usageText;

} // namespace tbhost
