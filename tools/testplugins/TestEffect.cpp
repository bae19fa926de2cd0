#include "TestEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tp
{

TestEffect::TestEffect (AudioMasterCallback hostCallback, EffectSettings s)
    : host (hostCallback), settings (std::move (s))
{
    for (const auto& p : settings.parameters)
        values.push_back (p.defaultValue);

    // Program i starts from the defaults with the first parameter scaled by 1 / (i + 1),
    // so every program sounds different and the numbers stay easy to predict.
    for (std::size_t i = 0; i < settings.programNames.size(); ++i)
    {
        Program program { settings.programNames[i], values };

        if (! program.values.empty())
            program.values[0] = values[0] / (float) (i + 1);

        programs.push_back (std::move (program));
    }

    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcherEntry;
    effect.process = processEntry;
    effect.setParameter = setParameterEntry;
    effect.getParameter = getParameterEntry;
    effect.processReplacing = processReplacingEntry;

    if ((settings.flags & effFlagsCanDoubleReplacing) != 0)
        effect.processDoubleReplacing = processDoubleReplacingEntry;
    effect.numPrograms = (std::int32_t) programs.size();
    effect.numParams = (std::int32_t) values.size();
    effect.numInputs = settings.numInputs;
    effect.numOutputs = settings.numOutputs;
    effect.flags = settings.flags;
    effect.ioRatio = 1.0f;
    effect.object = this;
    effect.uniqueID = settings.uniqueId;
    effect.version = 1100;
}

TestEffect* TestEffect::from (AEffect* e, Entry entry) noexcept
{
    auto* self = static_cast<TestEffect*> (e->object);
    self->lastEffect[(std::size_t) entry].store (e, std::memory_order_relaxed);
    return self;
}

VstIntPtr TestEffect::callHost (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    return host != nullptr ? host (&effect, opcode, index, value, ptr, opt) : 0;
}

bool TestEffect::validParameter (std::int32_t index) const noexcept
{
    return index >= 0 && (std::size_t) index < values.size();
}

float TestEffect::quantise (int index, float value) const noexcept
{
    value = std::clamp (value, 0.0f, 1.0f);
    const int steps = settings.parameters[(std::size_t) index].steps;

    if (steps < 2)
        return value;

    return std::round (value * (float) (steps - 1)) / (float) (steps - 1);
}

// Parameter 0 is a gain (0.5 is unity), 1 a balance, 2 a polarity switch, where present.
float TestEffect::gainFor (int channel) const noexcept
{
    float gain = values.empty() ? 1.0f : 2.0f * values[0];

    if (values.size() > 1)
        gain *= std::min (1.0f, 2.0f * ((channel % 2) == 0 ? 1.0f - values[1] : values[1]));

    if (values.size() > 2 && values[2] >= 0.5f)
        gain = -gain;

    return gain;
}

template <typename Sample>
void TestEffect::render (Sample** inputs, Sample** outputs, std::int32_t frames, bool accumulate) const noexcept
{
    for (int c = 0; c < effect.numOutputs && c < settings.numOutputs; ++c)
    {
        const auto gain = (Sample) gainFor (c);
        // Only the channels of the original layout are read: a host may not
        // have noticed a later change of numInputs.
        const Sample* in = settings.numInputs > 0 ? inputs[c % settings.numInputs] : nullptr;
        Sample* out = outputs[c];

        for (std::int32_t i = 0; i < frames; ++i)
        {
            const Sample sample = in != nullptr ? in[i] * gain : (Sample) 0;
            out[i] = accumulate ? out[i] + sample : sample;
        }
    }
}

void TestEffect::selectProgram (int index)
{
    if (index < 0 || (std::size_t) index >= programs.size())
        return;

    programs[(std::size_t) currentProgram].values = values;
    currentProgram = index;
    values = programs[(std::size_t) index].values;
}

VstIntPtr TestEffect::copyText (void* ptr, const std::string& text, std::size_t capacity) const
{
    if (ptr == nullptr)
        return 0;

    auto* dest = static_cast<char*> (ptr);
    const auto length = std::min (text.size(), capacity - 1);
    std::memcpy (dest, text.data(), length);
    dest[length] = 0;
    return 1;
}

// Texts stay within the published 8 bytes, terminator included.
std::string TestEffect::displayFor (int index) const
{
    char text[32] = {};
    const float v = values[(std::size_t) index];

    switch (index)
    {
        case 0:
            if (v <= 0.0f)
                return "-inf";
            std::snprintf (text, sizeof (text), "%.2f", 20.0 * std::log10 (2.0 * v));
            return text;
        case 2:
            return v >= 0.5f ? "On" : "Off";
        default:
            std::snprintf (text, sizeof (text), "%d", (int) std::lround (v * 100.0f));
            return text;
    }
}

VstIntPtr TestEffect::dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float)
{
    // Text lengths: 8 for labels and displays, 24 for program names, 32 for the
    // effect name, 64 for vendor and product, as the published limits say.
    switch (opcode)
    {
        case effSetProgram:          selectProgram ((int) value); return 0;
        case effGetProgram:          return currentProgram;
        case effSetProgramName:
            if (ptr != nullptr)
                programs[(std::size_t) currentProgram].name = std::string (static_cast<const char*> (ptr)).substr (0, 24);
            return 0;
        case effGetProgramName:      return copyText (ptr, programs[(std::size_t) currentProgram].name, 24);
        case effGetProgramNameIndexed:
            if (index < 0 || (std::size_t) index >= programs.size())
                return 0;
            return copyText (ptr, programs[(std::size_t) index].name, 24);
        case effGetParamLabel:       return validParameter (index) ? copyText (ptr, settings.parameters[(std::size_t) index].label, 8) : 0;
        case effGetParamDisplay:     return validParameter (index) ? copyText (ptr, displayFor (index), 8) : 0;
        case effGetParamName:        return validParameter (index) ? copyText (ptr, settings.parameters[(std::size_t) index].name, 8) : 0;
        case effCanBeAutomated:      return validParameter (index) ? 1 : 0;
        case effMainsChanged:        onMainsChanged (value != 0); return 0;
        case effEditGetRect:
            if ((settings.flags & effFlagsHasEditor) == 0 || ptr == nullptr)
                return 0;
            *static_cast<ERect**> (ptr) = &settings.editorRect;
            return 1;
        case effEditOpen:            return (settings.flags & effFlagsHasEditor) != 0 ? 1 : 0;
        case effGetChunk:
            if (ptr == nullptr)
                return 0;
            chunk.assign (reinterpret_cast<const char*> (values.data()),
                          reinterpret_cast<const char*> (values.data() + values.size()));
            *static_cast<void**> (ptr) = chunk.data();
            return (VstIntPtr) chunk.size();
        case effSetChunk:
            if (ptr == nullptr || value < 0)
                return 0;
            std::memcpy (values.data(), ptr, std::min ((std::size_t) value, values.size() * sizeof (float)));
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = quantise ((int) i, values[i]);
            return 1;
        case effGetEffectName:       return copyText (ptr, settings.name, 32);
        case effGetVendorString:     return copyText (ptr, "Tattlebox tests", 64);
        case effGetProductString:    return copyText (ptr, settings.name, 64);
        case effGetVendorVersion:    return 1100;
        case effGetVstVersion:       return 2400;
        case effGetPlugCategory:     return 1; // effect
        case effVendorSpecific:
            if (index != lastEffectQuery || value < 0 || value >= (VstIntPtr) lastEffect.size())
                return 0;
            return (VstIntPtr) lastEffect[(std::size_t) value].load (std::memory_order_relaxed);
        default:                     return 0;
    }
}

// Any thread the host calls from; Close deletes the effect.
VstIntPtr TestEffect::dispatcherEntry (AEffect* e, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
{
    auto* self = from (e, entryDispatcher);

    if (opcode == effClose)
    {
        self->onClose();
        delete self;
        return 0;
    }

    return self->dispatch (opcode, index, value, ptr, opt);
}

// Audio thread: accumulates into the outputs, as the old process call does.
void TestEffect::processEntry (AEffect* e, float** inputs, float** outputs, std::int32_t frames)
{
    auto* self = from (e, entryProcess);
    self->onBlock();
    self->render (inputs, outputs, frames, true);
}

// Audio thread.
void TestEffect::processReplacingEntry (AEffect* e, float** inputs, float** outputs, std::int32_t frames)
{
    auto* self = from (e, entryProcessReplacing);
    self->onBlock();
    self->render (inputs, outputs, frames, false);
}

// Audio thread, for hosts that process in double precision.
void TestEffect::processDoubleReplacingEntry (AEffect* e, double** inputs, double** outputs, std::int32_t frames)
{
    auto* self = from (e, entryProcessDoubleReplacing);
    self->onBlock();
    self->render (inputs, outputs, frames, false);
}

// Any thread.
void TestEffect::setParameterEntry (AEffect* e, std::int32_t index, float value)
{
    auto* self = from (e, entrySetParameter);
    self->onSetParameter (index, value);

    if (self->validParameter (index))
        self->values[(std::size_t) index] = self->quantise (index, value);
}

// Any thread.
float TestEffect::getParameterEntry (AEffect* e, std::int32_t index)
{
    auto* self = from (e, entryGetParameter);
    return self->validParameter (index) ? self->values[(std::size_t) index] : 0.0f;
}

} // namespace tp
