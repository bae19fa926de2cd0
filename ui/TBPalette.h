// The control window's palette: every colour the window paints with, by name.
// Parts name the colour they use from here; nothing in ui/ writes a literal.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace TBPalette
{
    inline const juce::Colour darkBlue     { 0xff25648b }; // the front tab's outline, a pressed button
    inline const juce::Colour paleBlueGrey { 0xffcedbe3 }; // buttons, the back tabs' outline
    inline const juce::Colour blueGrey     { 0xffb0bdc5 }; // the title-bar button under the pointer
    inline const juce::Colour windowBlue   { 0xff6793ae }; // the window's background
    inline const juce::Colour lightestGrey { 0xfff2f2f2 }; // pages and text fields
    inline const juce::Colour lighterGrey  { 0xffe8e8e8 }; // the back tabs
    inline const juce::Colour lightGrey    { 0xffe0e0e0 }; // row separators
    inline const juce::Colour darkGrey     { 0xff4d4d4d }; // text of the pages
    inline const juce::Colour middleGrey   { 0xff8b8b8b }; // a disabled row's text
    inline const juce::Colour rowHover     { 0xffe5e2da }; // the row under the pointer
    inline const juce::Colour tickOn       { 0xffe5b780 }; // an enabled row's box
    inline const juce::Colour tickOff      { 0xfffdf1d4 }; // a disabled row's box
    inline const juce::Colour tickOutline  { 0xfff3dbb0 };
    inline const juce::Colour black        { 0xff000000 };
    inline const juce::Colour alarmRed     { 0xffb22222 }; // a call that hangs

    // The framework's own shades where the window keeps them: links, the text
    // fields' selection and shadow, and no outline at all.
    inline const juce::Colour link         { 0xaa1111ee };
    inline const juce::Colour selection    { 0x401111ee };
    inline const juce::Colour fieldShadow  { 0x38000000 };
    inline const juce::Colour transparent  { 0x00000000 };
}
