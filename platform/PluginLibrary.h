// Loading a VST 2 plug-in library, finding its entry and freeing it.
#pragma once

#include "../vst/VstInterface.h"

#include <juce_core/juce_core.h>

#include <memory>

// The file-dialog pattern of this platform's plug-in libraries.
#if defined (_WIN32)
constexpr const char* pluginLibraryPattern = "*.dll";
#else
constexpr const char* pluginLibraryPattern = "*.so";
#endif

// [any thread] Null when the library does not load (a failure raised inside counts as one).
std::unique_ptr<juce::DynamicLibrary> loadPluginLibrary (const juce::File& file);

// [any thread] The entry exported as "main" (on Linux, else as "VSTPluginMain"); null where none is.
VstPluginMainProc findPluginEntry (juce::DynamicLibrary& library) noexcept;

// [any thread] Frees the library; false when there was none.
bool freePluginLibrary (std::unique_ptr<juce::DynamicLibrary>& library) noexcept;
