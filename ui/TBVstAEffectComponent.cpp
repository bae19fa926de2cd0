#include "TBVstAEffectComponent.h"

#include "TBCallTiming.h"
#include "TBPalette.h"
#include "TBTextEditorStyle.h"
#include "crash/HangWatch.h"
#include "log/TBLogger.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace
{
    // The load text starts right of the rows' column.
    constexpr int loadX = TBVstOpCodeComponent::rowWidth + 12;

    struct FlagName
    {
        std::uint32_t bit;
        const char* name;
    };

    constexpr FlagName flagNames[] = {
        { 0x1, "effFlagsHasEditor" },
        { 0x2, "effFlagsHasClip" },
        { 0x4, "effFlagsHasVu" },
        { 0x8, "effFlagsCanMono" },
        { 0x10, "effFlagsCanReplacing" },
        { 0x20, "effFlagsProgramChunks" },
        { 0x100, "effFlagsIsSynth" },
        { 0x200, "effFlagsNoSoundInStop" },
        { 0x400, "effFlagsExtIsAsync" },
        { 0x800, "effFlagsExtHasBuffer" }
    };

    juce::String toHex (std::uint64_t value)
    {
        char text[24];
        std::snprintf (text, sizeof (text), "%" PRIx64, value);
        return text;
    }

    juce::String pointerToHex (const void* pointer)
    {
        return toHex ((std::uint64_t) reinterpret_cast<std::uintptr_t> (pointer));
    }

    juce::String toDecimal (std::int64_t value)
    {
        return juce::String (value);
    }

    // As printf's "%.9g" prints the widened value, but with a decimal point
    // whatever locale the host has set.
    juce::String toNineDigits (float value)
    {
        char text[40];
        const auto result = std::to_chars (text, text + sizeof (text) - 1, (double) value,
                                           std::chars_format::general, 9);
        *result.ptr = 0;
        return text;
    }
}

juce::String fourCharCode (std::int32_t value)
{
    const auto bits = (std::uint32_t) value;
    juce::String code;

    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const auto byte = (bits >> shift) & 0xffu;
        // One character per byte, Latin-1, so that bytes above 127 never become invalid UTF-8.
        code += juce::String::charToString (byte == 0 ? (juce::juce_wchar) ' ' : (juce::juce_wchar) byte);
    }

    return code;
}

TBVstAEffectComponent::TBVstAEffectComponent (const AEffect& shownRecord)
    : TBVstOpCodeListComponent (groupAEffectFunctions),
      record (shownRecord)
{
    // Whole-record comparison is bytewise, padding included.
    std::memset (&shownEffect, 0, sizeof (shownEffect));
}

TBVstAEffectComponent::~TBVstAEffectComponent() = default;

void TBVstAEffectComponent::createRows()
{
    if (areRowsCreated())
        return;

    TBVstOpCodeListComponent::createRows();

    textEditor = std::make_unique<juce::TextEditor> ("AEffectTextEditor");

    int top = 0;
    if (getNumRows() > 0)
        top = getRow (getNumRows() - 1)->getBottom();

    textEditor->setBounds (0, top + 5, getWidth(), juce::jmax (0, getHeight() - top - 10));
    tbStyleReadOnlyTextEditor (*textEditor);
    addAndMakeVisible (*textEditor);

    loadLabel = std::make_unique<juce::Label> ("LoadLabel");
    loadLabel->setBounds (loadX, 0, juce::jmax (0, getWidth() - loadX), top);
    loadLabel->setJustificationType (juce::Justification::topLeft);
    loadLabel->setFont (juce::Font (12.0f, juce::Font::plain));
    loadLabel->setColour (juce::Label::textColourId, TBPalette::darkGrey);
    loadLabel->setMinimumHorizontalScale (0.8f);
    addChildComponent (*loadLabel);

    constexpr int hangHeight = 32; // two lines: the thread, then the call
    hangLabel = std::make_unique<juce::Label> ("HangLabel");
    hangLabel->setBounds (loadX, juce::jmax (0, top - hangHeight), juce::jmax (0, getWidth() - loadX), hangHeight);
    hangLabel->setFont (juce::Font (12.0f, juce::Font::bold));
    hangLabel->setColour (juce::Label::textColourId, TBPalette::alarmRed);
    hangLabel->setJustificationType (juce::Justification::bottomLeft);
    hangLabel->setMinimumHorizontalScale (0.8f);
    addChildComponent (*hangLabel);
}

void TBVstAEffectComponent::refreshHang()
{
    const auto text = hangWatch.describeHang().replaceFirstOccurrenceOf (" in the ", "\nin the ");
    hangLabel->setVisible (text.isNotEmpty());

    if (hangLabel->getText() != text)
        hangLabel->setText (text, juce::dontSendNotification);
}

void TBVstAEffectComponent::refreshLoads()
{
    const bool shown = tbLogger.timeCalls || callStatistics::sumLoad (functionProcessReplacing).isKnown()
                    || callStatistics::sumLoad (functionProcess).isKnown()
                    || callStatistics::sumLoad (functionProcessDoubleReplacing).isKnown();
    loadLabel->setVisible (shown);

    if (! shown)
        return;

    const auto text = TBCallTiming::describeLoads();

    if (loadLabel->getText() != text)
        loadLabel->setText (text, juce::dontSendNotification);
}

void TBVstAEffectComponent::refreshCounters()
{
    TBVstOpCodeListComponent::refreshCounters();

    // Without the editor, keep the old copy so that its first refresh fills it.
    if (textEditor == nullptr)
        return;

    refreshLoads();
    refreshHang();

    // An unchanged record never touches the editor: text, selection and scroll stay.
    if (std::memcmp (&record, &shownEffect, sizeof (AEffect)) == 0)
        return;

    std::memcpy (&shownEffect, &record, sizeof (AEffect));
    describeEffect();
}

void TBVstAEffectComponent::describeEffect()
{
    if (textEditor == nullptr)
        return;

    textEditor->clear();
    textEditor->setText (describe (shownEffect), false);
}

juce::String TBVstAEffectComponent::describe (const AEffect& e)
{
    juce::String text;
    text << "magic: " << fourCharCode (e.magic)
         << "\nnumPrograms: " << toDecimal (e.numPrograms)
         << "\nnumParams: " << toDecimal (e.numParams)
         << "\nnumInputs: " << toDecimal (e.numInputs)
         << "\nnumOutputs: " << toDecimal (e.numOutputs)
         << "\nflags: 0x" << toHex ((std::uint32_t) e.flags);

    for (const auto& flag : flagNames)
        if (((std::uint32_t) e.flags & flag.bit) != 0)
            text << "\n\t\t\t\t" << flag.name;

    // resvd1 and resvd2 are pointer-sized on 64-bit builds.
    text << "\nresvd1: " << toDecimal ((std::int64_t) e.resvd1)
         << "\nresvd2: " << toDecimal ((std::int64_t) e.resvd2)
         << "\ninitialDelay: " << toDecimal (e.initialDelay)
         << "\nrealQualities: " << toDecimal (e.realQualities)
         << "\noffQualities: " << toDecimal (e.offQualities)
         << "\nioRatio: " << toNineDigits (e.ioRatio)
         << "\nobject: 0x" << pointerToHex (e.object)
         << "\nuser: 0x" << pointerToHex (e.user)
         << "\nuniqueID: " << fourCharCode (e.uniqueID)
         << "\nversion: " << toDecimal (e.version);
    return text;
}
