// TBAboutContent: the "About" page. A read-only text with the product, its
// notice and credits, and a link to the product's page. Children keep fixed
// places whatever the page's size; the tabbed container paints behind them.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TBAboutContent : public juce::Component
{
public:
    // [message]
    TBAboutContent();
    // [message] A page linking to the given product page.
    explicit TBAboutContent (const juce::URL& productPage);
    ~TBAboutContent() override;

    // [any thread] The seven lines, without a final line feed.
    static juce::String getAboutText();

private:
    // Declared in the order they are added, so the last-added is destroyed first.
    juce::HyperlinkButton homePageLink;
    juce::TextEditor aboutText;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBAboutContent)
};
