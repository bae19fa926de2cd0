// The shared library that contains a given address: its handle (load base)
// and its file. Tattlebox uses it to find itself, and its state file beside it.
#pragma once

#include <juce_core/juce_core.h>

// Any thread. Null when the address lies in no loaded library.
void* getModuleHandle (const void* addressInModule) noexcept;

// Any thread. The library's full path, or a default File when unknown.
juce::File getModuleFile (const void* addressInModule);

// Any thread. One more reference on the library that contains the address, so
// that it stays mapped while threads of its own may run; null when unknown.
void* holdModule (const void* addressInModule) noexcept;

// Any thread. Gives a reference of holdModule back; null does nothing.
void releaseModule (void* handle) noexcept;
