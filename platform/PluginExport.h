// How the plug-in's entry leaves the library, under both names hosts look for.
#pragma once

#if defined (_WIN32)
 // Tattlebox.def names the exports and gives the entry its second name.
 #define TB_PLUGIN_EXPORT extern "C"
 #define TB_PLUGIN_SECOND_NAME(function)
#else
 // The version script keeps everything else hidden. C++ reserves "main" for
 // a program's own function, so the second name is an assembler-level alias.
 #define TB_PLUGIN_EXPORT extern "C" __attribute__ ((visibility ("default")))
 #define TB_PLUGIN_SECOND_NAME(function) \
     extern "C" __attribute__ ((visibility ("default"), alias (#function))) \
     AEffect* tattleboxSecondName (AudioMasterCallback) asm ("main");
#endif
