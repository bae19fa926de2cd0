// The platform's file-open dialog for choosing a plug-in library.
#pragma once

#include "MessageThread.h"

#include <juce_core/juce_core.h>

// [start-up] Shows the dialog with the given title, opening in
// startFolder, with the platform's library pattern, and waits for the user.
// A default File when the user cancels or no dialog can be shown.
juce::File choosePluginFile (MessageThread& messageThread, const juce::String& title, const juce::File& startFolder);
