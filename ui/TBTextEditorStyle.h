// The look of the read-only text boxes on the AEffect and About pages.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// [message] Read-only, multi-line with word wrap, pop-up menu, the pages' colours.
void tbStyleReadOnlyTextEditor (juce::TextEditor& editor);
