// Renders the tabbed container with four tabs on each side, with the strip fitting
// and with it scrolled, into PNG files, for a look at the outline and the back tabs.
// Usage: render_tabs [output folder], default build/screens in the working directory.

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>
#include <memory>
#include <vector>

#include "tabs/OldTabbedComponent.h"
#include "tabs/OldTabbedComponentBasicTab.h"

namespace
{
class Page : public juce::Component
{
public:
    explicit Page (const juce::String& title) : juce::Component (title) {}

    void paint (juce::Graphics& g) override
    {
        g.setColour (juce::Colour (0xff8b8b8b));
        g.drawRect (getLocalBounds());
        g.setColour (juce::Colour (0xff4d4d4d));
        g.setFont (16.0f);
        g.drawText (getName() + " page", getLocalBounds(), juce::Justification::centred);
    }
};

// Scroll-bar buttons make the short bar at the end of a horizontal strip usable.
class DemoLookAndFeel : public juce::LookAndFeel_V4
{
public:
    bool areScrollbarButtonsVisible() override { return true; }
};

class DemoTabs : public OldTabbedComponent
{
public:
    DemoTabs (int position, bool horizontalTabs)
        : OldTabbedComponent ("DemoTabs")
    {
        setColours (juce::Colour (0xfff2f2f2), juce::Colour (0xff4d4d4d), juce::Colour (0xff25648b),
                    juce::Colour (0xffcedbe3), juce::Colour (0xffe8e8e8));

        for (auto* title : { "AEffect", "Dispatcher OpCodes", "AudioMaster OpCodes", "About" })
        {
            pages.push_back (std::make_unique<Page> (title));
            auto* tab = new OldTabbedComponentBasicTab (title);

            if (horizontalTabs)
                tab->setSize (150, 30);

            addTab (-1, tab);
        }

        const bool vertical = position == tabsAtLeft || position == tabsAtRight;
        setTabPosition (position, vertical ? 200 : 30, 2, 2);
    }

    void currentTabChanged (int index, bool alreadyCurrent, const juce::ModifierKeys&) override
    {
        if (! alreadyCurrent && juce::isPositiveAndBelow (index, (int) pages.size()))
            setContentComponent (pages[(size_t) index].get());
    }

    void scrollToEnd()
    {
        scrollBar->scrollToBottom (juce::sendNotificationSync);
    }

private:
    std::vector<std::unique_ptr<Page>> pages;
};

bool writePng (juce::Component& c, const juce::File& file)
{
    const auto image = c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;
    return out.openedOk() && png.writeImageToStream (image, out);
}

bool render (const juce::File& folder, const char* side, int position, bool scrolled)
{
    const bool vertical = position == tabsAtLeft || position == tabsAtRight;
    DemoTabs tabs (position, ! vertical);

    if (vertical)
        tabs.setSize (520, scrolled ? 150 : 320);
    else
        tabs.setSize (scrolled ? 420 : 640, 260);

    tabs.resized();
    tabs.setCurrentTab (2);

    if (scrolled)
        tabs.scrollToEnd();

    const auto file = folder.getChildFile (juce::String ("tabs-") + side + (scrolled ? "-scrolled" : "") + ".png");

    if (! writePng (tabs, file))
    {
        std::cerr << "render_tabs: cannot write " << file.getFullPathName() << "\n";
        return false;
    }

    std::cout << file.getFullPathName() << "\n";
    return true;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI gui;
    DemoLookAndFeel lookAndFeel;
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "build/screens");

    if (! folder.createDirectory())
    {
        std::cerr << "render_tabs: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    const std::pair<const char*, int> sides[] = {
        { "top", tabsAtTop }, { "bottom", tabsAtBottom }, { "left", tabsAtLeft }, { "right", tabsAtRight }
    };
    bool ok = true;

    for (auto& [side, position] : sides)
        for (bool scrolled : { false, true })
            ok = render (folder, side, position, scrolled) && ok;

    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    return ok ? 0 : 1;
}
