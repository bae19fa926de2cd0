// An old-style plug-in: no processReplacing (slot empty, flag clear), only the
// accumulating process call.
#include "TestEffect.h"

namespace
{
AEffect* create (AudioMasterCallback host)
{
    tp::EffectSettings s;
    s.name = "tp_no_replacing";
    s.flags = 0;
    auto* record = (new tp::TestEffect (host, s))->getRecord();
    record->processReplacing = nullptr;
    return record;
}
} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (create)
