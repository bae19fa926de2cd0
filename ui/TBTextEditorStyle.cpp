#include "TBTextEditorStyle.h"
#include "TBPalette.h"

void tbStyleReadOnlyTextEditor (juce::TextEditor& editor)
{
    editor.setReadOnly (true);
    editor.setMultiLine (true, true);
    editor.setPopupMenuEnabled (true);

    editor.setColour (juce::TextEditor::textColourId, TBPalette::darkGrey);
    editor.setColour (juce::TextEditor::backgroundColourId, TBPalette::lightestGrey);
    editor.setColour (juce::TextEditor::highlightColourId, TBPalette::selection);
    editor.setColour (juce::TextEditor::outlineColourId, TBPalette::transparent);
    editor.setColour (juce::TextEditor::shadowColourId, TBPalette::fieldShadow);
}
