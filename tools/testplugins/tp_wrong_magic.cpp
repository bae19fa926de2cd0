// The entry returns a record whose magic is wrong; a host must not touch
// anything else of it, so every other field is left empty.
#include "TestEffect.h"

namespace
{
AEffect notAnEffect {};

AEffect* create()
{
    notAnEffect.magic = 0x50747356; // the right characters in the wrong order
    return &notAnEffect;
}
} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

// Host thread that loads the plug-in.
AEffect* tpMain (AudioMasterCallback) { return create(); }
AEffect* tpVstPluginMain (AudioMasterCallback) { return create(); }
