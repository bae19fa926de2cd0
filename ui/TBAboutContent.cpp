#include "TBAboutContent.h"
#include "TBPalette.h"

#include "TBTextEditorStyle.h"
#include "WebPages.h"

TBAboutContent::TBAboutContent()
    : TBAboutContent (WebPages::getProductPage())
{
}

TBAboutContent::TBAboutContent (const juce::URL& productPage)
    : homePageLink (WebPages::withoutScheme (productPage), productPage),
      aboutText ({}, 0)
{
    homePageLink.setColour (juce::HyperlinkButton::textColourId, TBPalette::link);
    homePageLink.setBounds (5, 140, 100, 18);
    addAndMakeVisible (homePageLink);
    homePageLink.changeWidthToFitText();

    tbStyleReadOnlyTextEditor (aboutText);
    aboutText.setBounds (5, 5, 270, 120);
    aboutText.setText (getAboutText(), false);
    addAndMakeVisible (aboutText);
}

TBAboutContent::~TBAboutContent() = default;

juce::String TBAboutContent::getAboutText()
{
    return juce::StringArray { "Tattlebox 1.1",
                               "Copyright 2026 the Tattlebox authors",
                               "",
                               "Built with the JUCE library",
                               "https://juce.com",
                               "",
                               "VST Plugin Technology by Steinberg" }
        .joinIntoString ("\n");
}
