#include "../FileDialog.h"
#include "../PluginLibrary.h"
#include "ProcessState.h"
#include "XErrorGuard.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

juce::File choosePluginFile (MessageThread& messageThread, const juce::String& title, const juce::File& startFolder)
{
    ScopedProcessState processState;
    std::unique_ptr<juce::FileChooser> chooser;
    juce::File chosen;
    juce::WaitableEvent done;
    auto launched = false;

    // The dialog runs asynchronously on the message thread; this thread waits for the answer.
    messageThread.callAndWait ([&]
    {
        // Without zenity or kdialog the framework draws its own dialog,
        // which cannot work (and crashes) without a display: that counts as cancelled.
        if (! juce::FileChooser::isPlatformDialogAvailable() && ! XErrorGuard::isDisplayOpen())
            return;

        launched = true;
        chooser = std::make_unique<juce::FileChooser> (title, startFolder, pluginLibraryPattern);
        chooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                              [&] (const juce::FileChooser& finished)
                              {
                                  chosen = finished.getResult();
                                  processState.restore();
                                  done.signal();
                              });
    });

    if (launched)
        done.wait();

    messageThread.callAndWait ([&] { chooser.reset(); });
    return chosen;
}
