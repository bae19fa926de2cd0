// The entry refuses: it returns no record.
#include "TestEffect.h"

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

// Host thread that loads the plug-in.
AEffect* tpMain (AudioMasterCallback) { return nullptr; }
AEffect* tpVstPluginMain (AudioMasterCallback) { return nullptr; }
