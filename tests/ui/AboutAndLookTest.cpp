// The about page, the minimise button, the web pages and the pictures.
#include "UiTestSupport.h"

#include "ui/TBAboutContent.h"
#include "ui/TBImages.h"
#include "ui/TBLookAndFeel.h"
#include "ui/WebPages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::File guide { "/opt/vst/Tattlebox.html" };

    struct AboutPage : public ::testing::Test
    {
        TBAboutContent page { WebPages::getProductPage (guide) };
        juce::HyperlinkButton& link = *dynamic_cast<juce::HyperlinkButton*> (page.getChildComponent (0));
        juce::TextEditor& text = *dynamic_cast<juce::TextEditor*> (page.getChildComponent (1));
    };

    struct MinimiseButton : public ::testing::Test
    {
        MinimiseButton() { button->setSize (40, 40); }

        TBLookAndFeel lookAndFeel;
        std::unique_ptr<juce::Button> button { lookAndFeel.createDocumentWindowButton (juce::DocumentWindow::closeButton) };
    };

    // PNG chunk names in file order.
    juce::StringArray chunksOf (const char* data, int size)
    {
        juce::StringArray names;
        for (int pos = 8; pos + 8 <= size; pos += 12 + (int) juce::ByteOrder::bigEndianInt (data + pos))
            names.add (juce::String (data + pos + 4, 4));
        return names;
    }
}

TEST_F (AboutPage, SevenLinesOfReadOnlyText)
{
    EXPECT_EQ (text.getBounds(), juce::Rectangle<int> (5, 5, 270, 120));
    EXPECT_TRUE (text.isReadOnly() && text.isMultiLine() && text.isPopupMenuEnabled());

    const auto lines = juce::StringArray::fromLines (text.getText());
    ASSERT_EQ (lines.size(), 7);
    EXPECT_EQ (lines[0], "Tattlebox 1.1");
    EXPECT_TRUE (lines[1].startsWith ("Copyright 2026 "));
    EXPECT_EQ (lines.joinIntoString ("|").fromFirstOccurrenceOf (lines[1], false, false),
               "||Built with the JUCE library|https://juce.com||VST Plugin Technology by Steinberg");

    text.setCaretPosition (4);
    text.keyPressed (juce::KeyPress ('z', {}, 'z'));
    text.keyPressed (juce::KeyPress (juce::KeyPress::deleteKey));
    text.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_EQ (text.getText(), TBAboutContent::getAboutText());
}

TEST_F (AboutPage, LinkShowsTheAddressWithoutSchemeFittedToItsText)
{
    EXPECT_EQ (link.getButtonText(), "/opt/vst/Tattlebox.html#product");
    EXPECT_EQ (link.getURL().toString (true), "file:///opt/vst/Tattlebox.html#product");
    EXPECT_EQ (link.findColour (juce::HyperlinkButton::textColourId).getARGB(), 0xaa1111eeu);

    // The framework's link font, 14 high and underlined, drawn at 0.7 of the button's height.
    const auto linkFont = juce::Font (14.0f, juce::Font::underlined).withHeight (18 * 0.7f);
    EXPECT_EQ (link.getBounds(), juce::Rectangle<int> (5, 140, linkFont.getStringWidth (link.getButtonText()) + 6, 18));

    TBAboutContent longer (WebPages::getProductPage (juce::File ("/home/someone/a/much/longer/path/Tattlebox.html")));
    EXPECT_GT (longer.getChildComponent (0)->getWidth(), link.getWidth());

    // The page's size moves nothing.
    const auto linkBounds = link.getBounds();
    page.setSize (30, 20);
    page.setSize (2000, 1500);
    EXPECT_EQ (link.getBounds(), linkBounds);
    EXPECT_EQ (text.getBounds(), juce::Rectangle<int> (5, 5, 270, 120));
}

TEST (WebPagesTest, GuideBesideTheBinaryThatHoldsJuceAndItsAnchors)
{
    EXPECT_EQ (WebPages::getGuideFile(),
               juce::File::getSpecialLocation (juce::File::currentExecutableFile).getSiblingFile ("Tattlebox.html"));
    EXPECT_EQ (WebPages::getUserGuide().getLocalFile(), WebPages::getGuideFile());

    EXPECT_EQ (WebPages::getUserGuide (guide).toString (true), "file:///opt/vst/Tattlebox.html");
    EXPECT_EQ (WebPages::getMakerPage (guide).toString (true), "file:///opt/vst/Tattlebox.html#maker");
    EXPECT_EQ (WebPages::getDonationPage (guide).toString (true), "file:///opt/vst/Tattlebox.html#support");

    const auto spaced = WebPages::getUserGuide (juce::File ("/opt/my plugins/Tattlebox.html"));
    EXPECT_EQ (spaced.toString (true), "file:///opt/my%20plugins/Tattlebox.html");
}

TEST_F (MinimiseButton, NameTooltipAndPointerThatFollowsTheButton)
{
    EXPECT_NE (dynamic_cast<juce::ShapeButton*> (button.get()), nullptr);
    EXPECT_EQ (lookAndFeel.minimizeButton, button.get());
    EXPECT_EQ (button->getName(), "TBMinimizeButton");
    EXPECT_EQ (button->getTooltip(), "Minimize");

    button.reset();
    EXPECT_EQ (lookAndFeel.minimizeButton, nullptr);
}

TEST_F (MinimiseButton, ColoursFollowTheState)
{
    const auto colourAtMiddle = [this] (juce::Button::ButtonState state)
    {
        button->setState (state);
        return argbAt (paintAlone (*button), 20, 15);
    };
    EXPECT_EQ (colourAtMiddle (juce::Button::buttonNormal), 0xffcedbe3u);
    EXPECT_EQ (colourAtMiddle (juce::Button::buttonOver), 0xffb0bdc5u);
    EXPECT_EQ (colourAtMiddle (juce::Button::buttonDown), 0xff25648bu);
}

TEST_F (MinimiseButton, ShapeIsATrianglePointingDown)
{
    const auto image = paintAlone (*button);
    const auto inkWidth = [&] (int y)
    {
        int n = 0;
        for (int x = 0; x < image.getWidth(); ++x)
            n += image.getPixelAt (x, y).getAlpha() > 128 ? 1 : 0;
        return n;
    };

    juce::Array<int> inkRows;
    for (int y = 0; y < image.getHeight(); ++y)
        if (inkWidth (y) > 0)
            inkRows.add (y);
    ASSERT_GT (inkRows.size(), 5);

    const int top = inkRows.getFirst() + 1, bottom = inkRows.getLast();
    EXPECT_GT (inkWidth (top), 4 * inkWidth (bottom));
    EXPECT_GT (image.getPixelAt (20, bottom).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (6, bottom).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (33, bottom).getAlpha(), 0);
}

TEST (MinimiseButtonInWindow, TakesTheCloseButtonsPlace)
{
    struct Window : public juce::DialogWindow
    {
        Window() : juce::DialogWindow ("Test", juce::Colours::grey, false, false) {}
        void closeButtonPressed() override {}
    };

    TBLookAndFeel lookAndFeel;
    {
        Window window;
        window.setLookAndFeel (&lookAndFeel);
        ASSERT_NE (lookAndFeel.minimizeButton, nullptr);
        EXPECT_EQ (window.getCloseButton(), lookAndFeel.minimizeButton);
        EXPECT_EQ (window.getMinimiseButton(), nullptr);
        EXPECT_EQ (lookAndFeel.minimizeButton->getParentComponent(), &window);
        window.setLookAndFeel (nullptr);
    }
    EXPECT_EQ (lookAndFeel.minimizeButton, nullptr);
}

TEST (Pictures, EmbeddedPngsOfTheRightSizesAndLayouts)
{
    const auto logo = juce::ImageCache::getFromMemory (TBImages::logoImage, TBImages::logoImageSize);
    EXPECT_EQ (logo.getBounds(), juce::Rectangle<int> (0, 0, 181, 136));
    EXPECT_TRUE (logo.hasAlphaChannel());
    EXPECT_EQ (juce::ImageCache::getFromMemory (TBImages::logoImage, TBImages::logoImageSize), logo);

    const auto badge = juce::ImageCache::getFromMemory (TBImages::donateImage, TBImages::donateImageSize);
    EXPECT_EQ (badge.getBounds(), juce::Rectangle<int> (0, 0, 72, 29));
    EXPECT_FALSE (badge.hasAlphaChannel());

    // IHDR bit depth 8; colour type 6 (RGBA) and 2 (RGB); not interlaced.
    const auto ihdr = [] (const char* png, int byte) { return (int) (juce::uint8) png[16 + byte]; };
    EXPECT_EQ (ihdr (TBImages::logoImage, 8) * 100 + ihdr (TBImages::logoImage, 9) * 10 + ihdr (TBImages::logoImage, 12), 860);
    EXPECT_EQ (ihdr (TBImages::donateImage, 8) * 100 + ihdr (TBImages::donateImage, 9) * 10 + ihdr (TBImages::donateImage, 12), 820);

    const auto chunks = chunksOf (TBImages::donateImage, TBImages::donateImageSize);
    EXPECT_EQ (chunks.joinIntoString (" "), "IHDR sRGB gAMA cHRM IDAT IEND");
}
