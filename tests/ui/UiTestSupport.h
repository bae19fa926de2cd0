// Shared pieces of the control-window tests.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

// Records the repaint requests of the component it is attached to and stops
// them there. Painting through a component with a cached image paints the
// cache, so detach it before taking pixels.
struct RepaintRecorder : public juce::CachedComponentImage
{
    // The component owns its cached image: attach a new one, counting from zero.
    static RepaintRecorder& attachTo (juce::Component& c)
    {
        auto* recorder = new RepaintRecorder();
        c.setCachedComponentImage (recorder);
        recorder->clear();
        return *recorder;
    }

    void paint (juce::Graphics&) override {}
    bool invalidateAll() override                          { ++wholeRepaints; return false; }
    bool invalidate (const juce::Rectangle<int>& r) override { areas.push_back (r); return false; }
    void releaseResources() override {}

    void clear() { wholeRepaints = 0; areas.clear(); }
    bool nothing() const { return wholeRepaints == 0 && areas.empty(); }

    int wholeRepaints = 0;
    std::vector<juce::Rectangle<int>> areas;
};

// The component and its children painted alone on a transparent image.
inline juce::Image paintAlone (juce::Component& c)
{
    juce::Image image (juce::Image::ARGB, c.getWidth(), c.getHeight(), true);
    juce::Graphics g (image);
    c.paintEntireComponent (g, true);
    return image;
}

inline juce::uint32 argbAt (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y).getARGB();
}

// Darkest channel over a box: 0 under black ink, 0x8b under the idle grey, 0xf2 on bare background.
inline int darkestIn (const juce::Image& image, juce::Rectangle<int> box)
{
    int darkest = 255;
    for (int y = box.getY(); y < box.getBottom(); ++y)
        for (int x = box.getX(); x < box.getRight(); ++x)
        {
            const auto c = image.getPixelAt (x, y);
            darkest = juce::jmin (darkest, (int) c.getRed(), (int) c.getGreen(), (int) c.getBlue());
        }
    return darkest;
}

namespace juce
{
    // The framework's own Linux message pump (juce_linux_Messaging.cpp).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

// A click reaches its listener as a message: every message waiting is dispatched.
inline void clickAndDispatch (juce::Button& button)
{
    button.triggerClick();
    while (juce::dispatchNextMessageOnSystemQueue (true)) {}
}
