// tbhost: a console VST 2 host on JUCE's own hosting code. Loads a plug-in,
// runs a scripted session and prints a summary; see Options.cpp for usage.
#include "HostSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

namespace
{
    // JUCE's own lines ("Attempting to load VST: …") to standard error, each
    // in one write: its default writes a line and its line feed apart, and a
    // plug-in's line written from another thread meanwhile lands between them.
    struct WholeLineLogger final : juce::Logger
    {
        void logMessage (const juce::String& message) override
        {
            const auto line = message + "\n";
            std::fwrite (line.toRawUTF8(), 1, line.getNumBytesAsUTF8(), stderr);
        }
    };
}

// Main thread, which becomes JUCE's message thread.
int main (int argc, char* argv[])
{
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    juce::String error;
    auto options = tbhost::parseOptions (args, error);

    if (! options)
    {
        std::fprintf (stderr, "tbhost: %s\n%s", error.toRawUTF8(), tbhost::usageText);
        return 1;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    WholeLineLogger logger;
    juce::Logger::setCurrentLogger (&logger);
    int exitStatus = 0;

    tbhost::HostSession session (*options, [&exitStatus] (int status)
    {
        exitStatus = status;
        juce::MessageManager::getInstance()->stopDispatchLoop();
    });

    juce::MessageManager::callAsync ([&session] { session.start(); });
    juce::MessageManager::getInstance()->runDispatchLoop();
    juce::Logger::setCurrentLogger (nullptr);
    return exitStatus;
}
