// The two pictures stored in the library: the bytes of PNG files, embedded at
// build time from ui/resources. The image buttons decode them through
// juce::ImageCache::getFromMemory, which keys the cache by the data's address.
#pragma once

namespace TBImages
{
    // Maker logo, 181 x 136, RGBA.
    extern const char logoImage[];
    extern const int logoImageSize;

    // Donation badge, 72 x 29, RGB.
    extern const char donateImage[];
    extern const int donateImageSize;
}
