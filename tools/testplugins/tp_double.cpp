// The well-behaved plug-in that also processes in double precision: the
// basic one's settings with processDoubleReplacing and its flag.
#include "TestEffect.h"

namespace
{
tp::EffectSettings doubleSettings()
{
    auto s = tp::named ("tp_double");
    s.parameters = { { "Gain", "dB", 0.5f, 0 }, { "Balance", "%", 0.5f, 0 } };
    s.flags = tp::effFlagsCanReplacing | tp::effFlagsCanDoubleReplacing;
    s.uniqueId = 0x74704462; // 'tpDb'
    return s;
}
} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::makeWith<doubleSettings>)
