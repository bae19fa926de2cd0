#include "../FileDialog.h"
#include "../PluginLibrary.h"

#include <juce_gui_basics/juce_gui_basics.h>

juce::File choosePluginFile (MessageThread& messageThread, const juce::String& title, const juce::File& startFolder)
{
    juce::File chosen;

    // Modal on the host's thread that called the entry, which is the message
    // thread here: the dialog runs its own message loop until the user answers.
    messageThread.callAndWait ([&]
    {
        juce::FileChooser chooser (title, startFolder, pluginLibraryPattern);

        if (chooser.browseForFileToOpen())
            chosen = chooser.getResult();
    });

    return chosen;
}
