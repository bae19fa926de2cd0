#include "TBLookAndFeel.h"
#include "TBPalette.h"

TBLookAndFeel::TBLookAndFeel() = default;
TBLookAndFeel::~TBLookAndFeel() = default;

juce::Button* TBLookAndFeel::createDocumentWindowButton (int)
{
    // Whatever the window asks for: the control window may be minimised, never closed.
    auto* button = new juce::ShapeButton ("TBMinimizeButton",
                                          TBPalette::paleBlueGrey,
                                          TBPalette::blueGrey,
                                          TBPalette::darkBlue);
    minimizeButton = button;
    button->setTooltip ("Minimize");

    // A zero-thickness arrow leaves only its head: a small triangle pointing down.
    juce::Path shape;
    shape.addArrow ({ 0.5f, 0.1f, 0.5f, 0.35f }, 0.0f, 0.4f, 0.4f);
    button->setShape (shape, false, true, false);
    return button;
}
