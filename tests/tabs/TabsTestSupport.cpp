#include "tests/tabs/TabsTestSupport.h"

#include <gtest/gtest.h>

ScreenHarness::ScreenHarness (juce::Component& c) : component (c)
{
    component.setTopLeftPosition (100, 100);
    component.addToDesktop (juce::ComponentPeer::windowIsTemporary);
    component.setVisible (true);
}

ScreenHarness::~ScreenHarness()
{
    component.removeFromDesktop();
}

void ScreenHarness::move (juce::Point<int> pos)
{
    juce::Desktop::setMousePosition (component.localPointToGlobal (pos));
    peer().handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, pos.toFloat(), {},
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation, time += 100);
}

void ScreenHarness::press (juce::Point<int> pos)
{
    move (pos);
    peer().handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, pos.toFloat(),
                             juce::ModifierKeys::leftButtonModifier,
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation, time += 100);
    peer().handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, pos.toFloat(), {},
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation, time += 100);
}

void ScreenHarness::wheel (juce::Point<int> pos, float deltaY)
{
    move (pos);
    juce::MouseWheelDetails details {};
    details.deltaY = deltaY;
    peer().handleMouseWheel (juce::MouseInputSource::InputSourceType::mouse, pos.toFloat(), time += 100, details);
}
