#include "tests/tabs/TabsTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
// One GUI framework for the whole test program, as in the plug-in.
class JuceEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { gui = std::make_unique<juce::ScopedJuceInitialiser_GUI>(); }
    void TearDown() override { gui.reset(); }

private:
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> gui;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment (new JuceEnvironment);
}

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
