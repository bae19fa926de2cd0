// The product's web pages. The user guide is a local HTML page installed beside
// the Tattlebox library; the product's, the maker's and the donation pages are
// anchors in it, so no address can go dead.
#pragma once

#include <juce_core/juce_core.h>

namespace WebPages
{
    // The guide's file name, beside the library.
    inline constexpr const char* guideFileName = "Tattlebox.html";

    // [any thread] The guide beside the binary that contains JUCE (the plug-in library when hosted).
    juce::File getGuideFile();

    // [any thread]
    juce::URL getUserGuide();
    juce::URL getProductPage();
    juce::URL getMakerPage();
    juce::URL getDonationPage();

    // [any thread] The pages of a guide at a given place.
    juce::URL getUserGuide (const juce::File& guide);
    juce::URL getProductPage (const juce::File& guide);
    juce::URL getMakerPage (const juce::File& guide);
    juce::URL getDonationPage (const juce::File& guide);

    // [any thread] The address as a link shows it, everything after "scheme://".
    juce::String withoutScheme (const juce::URL& url);
}
