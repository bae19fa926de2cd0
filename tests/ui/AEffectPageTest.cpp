// The AEffect page: the record dump and when it is rebuilt.
#include "UiTestSupport.h"

#include "ui/TBVstAEffectComponent.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
    AEffect exampleRecord()
    {
        AEffect e;
        std::memset (&e, 0, sizeof (e));
        e.magic = 0x56737450;
        e.numPrograms = 1;
        e.numParams = e.numInputs = e.numOutputs = 2;
        e.flags = 0x31;
        e.ioRatio = 1.0f;
        e.object = reinterpret_cast<void*> (std::uintptr_t { 0x3a2f10 });
        e.uniqueID = 0x41626364;
        e.version = 1000;
        return e;
    }

    template <typename Change>
    juce::String describeWith (Change change)
    {
        auto e = exampleRecord();
        change (e);
        return TBVstAEffectComponent::describe (e);
    }

    struct AEffectPage : public ::testing::Test
    {
        AEffectPage() { page.setSize (560, 624); }

        AEffect hostRecord = exampleRecord(); // the record the host holds
        TBVstAEffectComponent page { hostRecord };
    };
}

TEST (AEffectDump, ExampleRecordGivesItsNineteenLines)
{
    const juce::StringArray expected {
        "magic: VstP", "numPrograms: 1", "numParams: 2", "numInputs: 2", "numOutputs: 2", "flags: 0x31",
        "\t\t\t\teffFlagsHasEditor", "\t\t\t\teffFlagsCanReplacing", "\t\t\t\teffFlagsProgramChunks",
        "resvd1: 0", "resvd2: 0", "initialDelay: 0", "realQualities: 0", "offQualities: 0", "ioRatio: 1",
        "object: 0x3a2f10", "user: 0x0", "uniqueID: Abcd", "version: 1000"
    };
    EXPECT_EQ (TBVstAEffectComponent::describe (exampleRecord()), expected.joinIntoString ("\n"));
}

TEST (AEffectDump, FlagsListOnlyTheNamedBitsInTableOrder)
{
    const auto flagsLines = [] (std::uint32_t flags)
    {
        return describeWith ([=] (AEffect& e) { e.flags = (std::int32_t) flags; })
            .fromFirstOccurrenceOf ("\nflags: ", true, false).upToFirstOccurrenceOf ("\nresvd1", false, false);
    };
    EXPECT_EQ (flagsLines (0), "\nflags: 0x0");
    EXPECT_EQ (flagsLines (0x1000), "\nflags: 0x1000");
    EXPECT_EQ (flagsLines (0x80000000u), "\nflags: 0x80000000");
    EXPECT_EQ (flagsLines (0xb31), "\nflags: 0xb31\n\t\t\t\teffFlagsHasEditor\n\t\t\t\teffFlagsCanReplacing"
                                   "\n\t\t\t\teffFlagsProgramChunks\n\t\t\t\teffFlagsIsSynth"
                                   "\n\t\t\t\teffFlagsNoSoundInStop\n\t\t\t\teffFlagsExtHasBuffer");
}

TEST (AEffectDump, NumbersFloatsAndPointerSizedFields)
{
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.ioRatio = 0.5f; }).contains ("\nioRatio: 0.5\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.ioRatio = 0.1f; }).contains ("\nioRatio: 0.100000001\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.ioRatio = 1.0e-12f; }).contains ("\nioRatio: 9.99999996e-13\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.ioRatio = 123456792.0f; }).contains ("\nioRatio: 123456792\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.initialDelay = -512; }).contains ("\ninitialDelay: -512\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.object = nullptr; }).contains ("\nobject: 0x0\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.user = reinterpret_cast<void*> (~std::uintptr_t { 0 }); })
                     .contains ("\nuser: 0xffffffffffffffff\n"));
    EXPECT_TRUE (describeWith ([] (AEffect& e) { e.resvd1 = -1; e.resvd2 = std::numeric_limits<VstIntPtr>::max(); })
                     .contains ("\nresvd1: -1\nresvd2: 9223372036854775807\n"));
}

TEST (AEffectDump, FourCharCodeIsAlwaysFourCharacters)
{
    EXPECT_EQ (fourCharCode (0x56737450), "VstP");
    EXPECT_EQ (fourCharCode (0x41420000), "AB  ");
    EXPECT_EQ (fourCharCode (0), "    ");

    // Bytes above 127 stay one character each.
    const auto high = fourCharCode ((std::int32_t) 0xc4e9ff80u);
    ASSERT_EQ (high.length(), 4);
    EXPECT_EQ ((int) high[0], 0xc4);
    EXPECT_EQ ((int) high[3], 0x80);
}

TEST_F (AEffectPage, RowsAndAnEmptyEditorComeWithTheFirstCreateRows)
{
    EXPECT_EQ (page.getName(), "TBVstOpCodeListComponent 0");
    page.createRows();
    page.createRows();
    ASSERT_GE (page.getNumChildComponents(), 8);
    EXPECT_EQ (page.getNumRows(), 7);

    auto* editor = page.getTextEditor();
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (page.getChildComponent (7), editor);
    EXPECT_EQ (editor->getName(), "AEffectTextEditor");
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 117, 560, 502));
    EXPECT_TRUE (editor->isReadOnly() && editor->isMultiLine() && editor->isPopupMenuEnabled());
    EXPECT_TRUE (editor->isEmpty());

    TBVstAEffectComponent tiny { hostRecord };
    tiny.setSize (100, 120);
    tiny.createRows();
    EXPECT_EQ (tiny.getTextEditor()->getHeight(), 0);
}

TEST_F (AEffectPage, AChangeOfAnyByteRebuildsTheText)
{
    page.refreshCounters(); // before the editor exists: must not use up the change
    page.createRows();
    page.refreshCounters();
    auto& editor = *page.getTextEditor();
    EXPECT_EQ (editor.getText(), TBVstAEffectComponent::describe (exampleRecord()));

    hostRecord.numParams = 9;
    page.refreshCounters();
    EXPECT_TRUE (editor.getText().contains ("\nnumParams: 9\n"));

    // A byte that is not shown still counts: the text is rebuilt, the selection goes.
    editor.setHighlightedRegion ({ 0, 5 });
    hostRecord.future[10] = 1;
    page.refreshCounters();
    EXPECT_TRUE (editor.getHighlightedRegion().isEmpty());
    EXPECT_EQ (std::memcmp (&page.getShownEffect(), &hostRecord, sizeof (AEffect)), 0);
}

TEST_F (AEffectPage, UnchangedRecordLeavesTextSelectionAndScrollAlone)
{
    page.setSize (560, 200); // short enough to scroll
    page.createRows();
    page.refreshCounters();

    auto& editor = *page.getTextEditor();
    juce::Viewport* viewport = nullptr;
    for (auto* child : editor.getChildren())
        if (auto* v = dynamic_cast<juce::Viewport*> (child))
            viewport = v;
    ASSERT_NE (viewport, nullptr);

    editor.setHighlightedRegion ({ 3, 17 });
    viewport->setViewPosition (0, 40);
    ASSERT_EQ (viewport->getViewPositionY(), 40);
    const auto text = editor.getText();

    for (int tick = 0; tick < 3; ++tick)
        page.refreshCounters();

    EXPECT_EQ (editor.getText(), text);
    EXPECT_EQ (editor.getHighlightedRegion(), juce::Range<int> (3, 17));
    EXPECT_EQ (viewport->getViewPositionY(), 40);
}
