// Breaks the plug-in's side of the VST 2 contract in the ways TP_RUDE names,
// comma-separated (README.md lists them); every one but "nan" once, at its
// first occasion, so that a session shows each breach exactly once.
#include "TestEffect.h"
#include "log/VstStructures.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

namespace
{
enum HostOpcode : std::int32_t
{
    audioMasterGetVendorString = 32, audioMasterBeginEdit = 43, audioMasterEndEdit = 44
};

constexpr std::int32_t effGetParameterProperties = 56;

// The behaviours by name, one bit each.
const char* const behaviourNames[] = { "askVendor", "paramName", "effectName", "propertiesLabel", "endEdit", "beginEdit",
                                       "automateIndex", "automateValue", "latency", "echo", "ioFromAudio", "nan" };

unsigned bitOf (const char* name)
{
    for (unsigned i = 0; i < sizeof (behaviourNames) / sizeof (behaviourNames[0]); ++i)
        if (std::strcmp (name, behaviourNames[i]) == 0)
            return 1u << i;

    return 0;
}

unsigned chosenBehaviours()
{
    unsigned chosen = 0;

    if (const char* text = std::getenv ("TP_RUDE"))
    {
        std::istringstream list (text);

        for (std::string name; std::getline (list, name, ',');)
            chosen |= bitOf (name.c_str());
    }

    return chosen;
}

tp::EffectSettings rudeSettings()
{
    auto s = tp::named ("tp_rude");
    s.parameters = { { "Gain", "dB", 0.5f, 0 }, { "Balance", "%", 0.5f, 0 } };
    s.uniqueId = 0x74705264; // 'tpRd'
    return s;
}

class RudeEffect final : public tp::TestEffect
{
public:
    explicit RudeEffect (AudioMasterCallback host) : TestEffect (host, rudeSettings()), chosen (chosenBehaviours())
    {
        // The rendered block goes through here, so that a sample can be spoilt afterwards.
        renderBlock = effect.processReplacing;
        effect.processReplacing = processReplacingEntry;
    }

private:
    bool wants (const char* behaviour) const { return (chosen & bitOf (behaviour)) != 0; }

    // The first time only, whichever thread comes first: a host that resumes twice sees no second breach.
    bool firstTime (const char* behaviour)
    {
        const auto bit = bitOf (behaviour);
        return (chosen & bit) != 0 && (done.fetch_or (bit) & bit) == 0;
    }

    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) override
    {
        if (opcode == tp::effOpen && firstTime ("askVendor"))
        {
            // Roomy, as the host's text may run past the 64 bytes it is allowed.
            char vendor[256] = {};
            callHost (audioMasterGetVendorString, 0, 0, vendor, 0.0f);
        }

        if (opcode == tp::effGetParamName && index == 0 && ptr != nullptr && firstTime ("paramName"))
            return copy (ptr, "Gain of the left"); // 17 bytes, the limit is 8

        if (opcode == tp::effGetEffectName && ptr != nullptr && firstTime ("effectName"))
            return copy (ptr, "tp_rude, whose name runs past its limit"); // 40 bytes, the limit is 32

        if (opcode == effGetParameterProperties && index == 0 && ptr != nullptr && firstTime ("propertiesLabel"))
        {
            // The label's 64 bytes all taken: its end falls into the next field.
            auto& properties = *static_cast<VstParameterProperties*> (ptr);
            std::memset (properties.label, 'x', sizeof (properties.label));
            return 1;
        }

        if (opcode == tp::effMainsChanged && value != 0)
            resume();

        return TestEffect::dispatch (opcode, index, value, ptr, opt);
    }

    void resume()
    {
        if (firstTime ("endEdit"))
            callHost (audioMasterEndEdit, 0, 0, nullptr, 0.0f);

        if (firstTime ("beginEdit"))
            callHost (audioMasterBeginEdit, 1, 0, nullptr, 0.0f); // never ended

        if (firstTime ("automateIndex"))
            callHost (tp::audioMasterAutomate, effect.numParams, 0, nullptr, 0.5f);

        if (firstTime ("automateValue"))
            callHost (tp::audioMasterAutomate, 0, 0, nullptr, 1.5f);

        // A latency the host is never told about.
        if (firstTime ("latency"))
            effect.initialDelay = 64;
    }

    void onSetParameter (std::int32_t index, float value) override
    {
        // The host's own change handed back to it as if the user had made it.
        if (wants ("echo"))
            callHost (tp::audioMasterAutomate, index, 0, nullptr, value);
    }

    void onBlock() override
    {
        if (firstTime ("ioFromAudio"))
            callHost (tp::audioMasterIOChanged, 0, 0, nullptr, 0.0f);
    }

    // Audio thread: every block, not only the first.
    static void processReplacingEntry (AEffect* e, float** inputs, float** outputs, std::int32_t frames)
    {
        auto* self = static_cast<RudeEffect*> (static_cast<tp::TestEffect*> (e->object));
        self->renderBlock (e, inputs, outputs, frames);

        if (self->wants ("nan") && e->numOutputs > 1 && frames > 7)
            outputs[1][7] = std::numeric_limits<float>::quiet_NaN();
    }

    static VstIntPtr copy (void* ptr, const char* text)
    {
        std::memcpy (ptr, text, std::strlen (text) + 1);
        return 1;
    }

    const unsigned chosen;
    std::atomic<unsigned> done { 0 };
    decltype (AEffect::processReplacing) renderBlock = nullptr;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<RudeEffect>)
