// tbhost: a console VST 2 host on JUCE's own hosting code. Loads a plug-in,
// runs a scripted session and prints a summary; see Options.cpp for usage.
#include "HostSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

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
    int exitStatus = 0;

    tbhost::HostSession session (*options, [&exitStatus] (int status)
    {
        exitStatus = status;
        juce::MessageManager::getInstance()->stopDispatchLoop();
    });

    juce::MessageManager::callAsync ([&session] { session.start(); });
    juce::MessageManager::getInstance()->runDispatchLoop();
    return exitStatus;
}
