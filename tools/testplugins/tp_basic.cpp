// The well-behaved plug-in: both entry names, stereo, three parameters (one
// stepped), three programs, an editor rectangle, chunks, both process calls.
#include "TestEffect.h"

namespace
{
tp::EffectSettings basicSettings()
{
    auto s = tp::named ("tp_basic");
    s.parameters = { { "Gain", "dB", 0.5f, 0 }, { "Balance", "%", 0.5f, 0 }, { "Invert", "", 0.0f, 2 } };
    s.programNames = { "Unity", "Half", "Third" };
    s.flags = tp::effFlagsCanReplacing | tp::effFlagsHasEditor | tp::effFlagsProgramChunks;
    s.editorRect = { 0, 0, 240, 320 };
    return s;
}
} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::makeWith<basicSettings>)
