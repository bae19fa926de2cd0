#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

#include "tabs/OldTabbedComponent.h"
#include "tabs/OldTabbedComponentBasicTab.h"

// A container that records what it reports and opens its internals to the tests.
class TestTabs : public OldTabbedComponent
{
public:
    struct Change
    {
        int index;
        bool alreadyCurrent;
    };

    TestTabs() : OldTabbedComponent ("TestTabs") {}

    void currentTabChanged (int index, bool alreadyCurrent, const juce::ModifierKeys&) override
    {
        changes.push_back ({ index, alreadyCurrent });
    }

    void resized() override
    {
        ++layouts;
        OldTabbedComponent::resized();
    }

    void mouseDown (const juce::MouseEvent&) override { ++pressesOnContainer; }

    // Delivers the scroll bar's pending change message, as the message loop would.
    void settle()
    {
        while (scrollBar->isUpdatePending())
            scrollBar->handleUpdateNowIfNeeded();
    }

    // Four 50 by 50 basic tabs, named A to D.
    void addFourTabs()
    {
        for (auto* name : { "A", "B", "C", "D" })
            addTab (-1, new OldTabbedComponentBasicTab (name));
    }

    using OldTabbedComponent::contentComponent;
    using OldTabbedComponent::edgeComponents;
    using OldTabbedComponent::outlinePath;
    using OldTabbedComponent::outlineStroke;
    using OldTabbedComponent::pageArea;
    using OldTabbedComponent::scrollBar;
    using OldTabbedComponent::tabHolder;
    using OldTabbedComponent::tabs;

    std::vector<Change> changes;
    int layouts = 0;
    int pressesOnContainer = 0;
};

// The palette of the control window's content, distinct enough to tell apart by pixel.
namespace testColours
{
const juce::Colour background { 0xfff2f2f2 };
const juce::Colour text { 0xff4d4d4d };
const juce::Colour outline { 0xff25648b };
const juce::Colour backTabOutline { 0xffcedbe3 };
const juce::Colour backTab { 0xffe8e8e8 };
}

// Puts a component on screen as an unmanaged window at a fixed place and sends it
// mouse input through its peer, as the windowing system would.
class ScreenHarness
{
public:
    explicit ScreenHarness (juce::Component& c);
    ~ScreenHarness();

    juce::ComponentPeer& peer() const { return *component.getPeer(); }
    void press (juce::Point<int> pos);
    void move (juce::Point<int> pos);
    void wheel (juce::Point<int> pos, float deltaY);

private:
    juce::Component& component;
    juce::int64 time = 1000;
};
