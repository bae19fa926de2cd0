// TBVstAEffectComponent: the "AEffect" page. The seven AEffect-function rows on
// top and, below them, a read-only dump of the record the host holds, rebuilt
// only when a byte of that record changes. While calls are timed, the real-time
// load of the process functions stands beside the rows; below it, a call
// that hangs while it lasts.
#pragma once

#include "TBVstOpCodeListComponent.h"
#include "vst/VstInterface.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <memory>

// [any thread] Four characters, most significant byte first; a zero byte shows as a blank.
juce::String fourCharCode (std::int32_t value);

class TBVstAEffectComponent : public TBVstOpCodeListComponent
{
public:
    // [message] The record is the one the host holds; it outlives the page.
    explicit TBVstAEffectComponent (const AEffect& shownRecord);
    ~TBVstAEffectComponent() override;

    // [message] Each time the tab is selected; only the first call builds.
    void createRows() override;
    // [message] Every timer tick while the tab is in front.
    void refreshCounters() override;

    // [message] Rebuilds the editor's text from shownEffect.
    void describeEffect();

    // [any thread] The dump of a record, line by line, without a final line feed.
    static juce::String describe (const AEffect& effect);

    juce::TextEditor* getTextEditor() const noexcept { return textEditor.get(); }
    juce::Label* getLoadLabel() const noexcept       { return loadLabel.get(); }
    juce::Label* getHangLabel() const noexcept       { return hangLabel.get(); }
    const AEffect& getShownEffect() const noexcept   { return shownEffect; }

private:
    const AEffect& record;
    AEffect shownEffect;
    // A child; deleted before the rows, as it was added after them.
    std::unique_ptr<juce::TextEditor> textEditor;
    // Right of the rows; shown while calls are timed or loads were measured.
    std::unique_ptr<juce::Label> loadLabel;
    // Under it; shown while a call hangs (crash/HangWatch.h).
    std::unique_ptr<juce::Label> hangLabel;

    void refreshLoads();
    void refreshHang();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBVstAEffectComponent)
};
