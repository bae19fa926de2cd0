// Exports the entry only as "main".
#include "TestEffect.h"

TP_EXPORT_ENTRY (tpMain, "main");

// Host thread that loads the plug-in.
AEffect* tpMain (AudioMasterCallback host)
{
    tp::EffectSettings s;
    s.name = "tp_main_only";
    return (new tp::TestEffect (host, s))->getRecord();
}
