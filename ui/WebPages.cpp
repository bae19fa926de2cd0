#include "WebPages.h"

namespace WebPages
{
    juce::File getGuideFile()
    {
        // On Linux this is dladdr of a JUCE symbol: the shared library that
        // holds JUCE, not the host's executable.
        return juce::File::getSpecialLocation (juce::File::currentExecutableFile)
                   .getSiblingFile (guideFileName);
    }

    juce::URL getUserGuide (const juce::File& guide)    { return juce::URL (guide); }
    juce::URL getProductPage (const juce::File& guide)  { return getUserGuide (guide).withAnchor ("product"); }
    juce::URL getMakerPage (const juce::File& guide)    { return getUserGuide (guide).withAnchor ("maker"); }
    juce::URL getDonationPage (const juce::File& guide) { return getUserGuide (guide).withAnchor ("support"); }

    juce::URL getUserGuide()    { return getUserGuide (getGuideFile()); }
    juce::URL getProductPage()  { return getProductPage (getGuideFile()); }
    juce::URL getMakerPage()    { return getMakerPage (getGuideFile()); }
    juce::URL getDonationPage() { return getDonationPage (getGuideFile()); }

    juce::String withoutScheme (const juce::URL& url)
    {
        const auto address = url.toString (true);
        return address.contains ("://") ? address.fromFirstOccurrenceOf ("://", false, false)
                                        : address;
    }
}
