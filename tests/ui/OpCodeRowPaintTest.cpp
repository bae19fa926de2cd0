// The pixels of a painted opcode row.
#include "UiTestSupport.h"

#include "log/TBLogger.h"
#include "ui/TBVstOpCodeComponent.h"

#include <gtest/gtest.h>

namespace
{
    constexpr juce::uint32 background = 0xfff2f2f2, hover = 0xffe5e2da, separator = 0xffe0e0e0,
                           tickOn = 0xffe5b780, tickOff = 0xfffdf1d4, tickOutline = 0xfff3dbb0;

    struct PaintedRow : public ::testing::Test
    {
        PaintedRow() { row.setSize (280, 16); }
        ~PaintedRow() override { setCount (0); }

        void setCount (std::uint64_t n) { dispatcherStates[5].callCount.store (n); }

        TBVstOpCodeComponent row { groupDispatcher, 5 }; // "GetProgramName"
        const juce::Rectangle<int> nameArea { 14, 1, 100, 14 }, counterArea { 222, 1, 56, 14 };
    };
}

TEST_F (PaintedRow, BackgroundSeparatorAndTickSquare)
{
    TBLogger::setOpCodeEnabled (true, groupDispatcher, 5);
    auto image = paintAlone (row);

    EXPECT_EQ (argbAt (image, 1, 1), background);
    EXPECT_EQ (argbAt (image, 278, 14), background);
    // Left, top and right edges stay unpainted; the bottom pixel row is the separator.
    for (int y = 0; y < 15; ++y)
        EXPECT_EQ (image.getPixelAt (0, y).getAlpha() + image.getPixelAt (279, y).getAlpha(), 0) << y;
    for (int x = 0; x < 280; ++x)
    {
        EXPECT_EQ (image.getPixelAt (x, 0).getAlpha(), 0) << x;
        EXPECT_EQ (argbAt (image, x, 15), separator) << x;
    }

    EXPECT_EQ (argbAt (image, 3, 4), tickOn);
    EXPECT_EQ (argbAt (image, 10, 11), tickOn);
    for (auto edge : { juce::Point<int> (2, 8), { 11, 8 }, { 6, 3 }, { 6, 12 } })
        EXPECT_EQ (argbAt (image, edge.x, edge.y), tickOutline);
    EXPECT_EQ (argbAt (image, 12, 8), background);

    TBLogger::setOpCodeEnabled (false, groupDispatcher, 5);
    image = paintAlone (row);
    EXPECT_EQ (argbAt (image, 3, 4), tickOff);
    EXPECT_EQ (argbAt (image, 2, 8), tickOutline);
}

TEST_F (PaintedRow, NameIsGreyAtZeroBlackOtherwiseAndDigitsOnlyAboveZero)
{
    auto image = paintAlone (row);
    EXPECT_EQ (darkestIn (image, nameArea), 0x8b);
    EXPECT_EQ (darkestIn (image, counterArea), 0xf2);

    setCount (1234);
    image = paintAlone (row);
    EXPECT_EQ (darkestIn (image, nameArea), 0);
    EXPECT_LT (darkestIn (image, counterArea.withTrimmedLeft (20)), 0x40); // right-justified
    EXPECT_EQ (darkestIn (image, counterArea.withWidth (20)), 0xf2);

    // A long count is squeezed into its box, not spilled to the left.
    setCount (2147483647u);
    image = paintAlone (row);
    EXPECT_LT (darkestIn (image, { 222, 1, 10, 14 }), 0x40);
    EXPECT_EQ (darkestIn (image, { 200, 1, 21, 14 }), 0xf2);

    // Past 2^32 and up to 19 digits: a smaller font, still within the box,
    // the last digit's top drawn where an ellipsis would have only its dots.
    for (const auto count : { 0x100000005ull, 9223372036854775807ull })
    {
        setCount (count);
        image = paintAlone (row);
        EXPECT_EQ (darkestIn (image, nameArea), 0);
        EXPECT_LT (darkestIn (image, { 222, 1, 10, 14 }), 0x80) << count;
        EXPECT_EQ (darkestIn (image, { 200, 1, 21, 14 }), 0xf2) << count;
        EXPECT_LT (darkestIn (image, { 272, 1, 6, 6 }), 0x80) << count;
    }
}

TEST_F (PaintedRow, BackgroundChangesWhileTheMouseIsOver)
{
    juce::Component holder;
    holder.setBounds (200, 200, 300, 40);
    holder.addAndMakeVisible (row);
    holder.addToDesktop (0);
    holder.setVisible (true);

    // JUCE asks the platform where the pointer is, so it must really be there.
    const auto moveTo = [&] (juce::Point<int> local)
    {
        juce::Desktop::setMousePosition (holder.localPointToGlobal (local));
        holder.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, local.toFloat(), {},
                                            juce::MouseInputSource::defaultPressure,
                                            juce::MouseInputSource::defaultOrientation,
                                            juce::Time::currentTimeMillis());
    };

    // Other tests on the same display may move the pointer too: allow a few tries.
    juce::Image image;
    for (int attempt = 0; attempt < 10 && ! (attempt > 0 && argbAt (image, 1, 1) == hover); ++attempt)
    {
        moveTo ({ 140, 8 });
        image = paintAlone (row);
    }
    EXPECT_EQ (argbAt (image, 1, 1), hover);
    EXPECT_EQ (argbAt (image, 278, 14), hover);
    EXPECT_EQ (argbAt (image, 100, 15), separator);

    moveTo ({ 290, 30 });
    EXPECT_EQ (argbAt (paintAlone (row), 1, 1), background);
    holder.removeFromDesktop();
}
