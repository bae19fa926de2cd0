#include "TBTextEditorStyle.h"

void tbStyleReadOnlyTextEditor (juce::TextEditor& editor)
{
    editor.setReadOnly (true);
    editor.setMultiLine (true, true);
    editor.setPopupMenuEnabled (true);

    editor.setColour (juce::TextEditor::textColourId, juce::Colour (0xff4d4d4d));
    editor.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0xfff2f2f2));
    editor.setColour (juce::TextEditor::highlightColourId, juce::Colour (0x401111ee));
    editor.setColour (juce::TextEditor::outlineColourId, juce::Colour (0x00000000));
    editor.setColour (juce::TextEditor::shadowColourId, juce::Colour (0x38000000));
}
