// Exports the entry only as "VSTPluginMain", as many Linux plug-ins do.
#include "TestEffect.h"

TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

// Host thread that loads the plug-in.
AEffect* tpVstPluginMain (AudioMasterCallback host)
{
    tp::EffectSettings s;
    s.name = "tp_vstpluginmain_only";
    return (new tp::TestEffect (host, s))->getRecord();
}
