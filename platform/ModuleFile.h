// The shared library that contains a given address: its handle (load base)
// and its file. Tattlebox uses it to find itself, and its state file beside it.
#pragma once

#include <juce_core/juce_core.h>

// [any thread] Null when the address lies in no loaded library.
void* getModuleHandle (const void* addressInModule) noexcept;

// [any thread] The library's full path as it was loaded (links not resolved),
// or a default File when unknown.
juce::File getModuleFile (const void* addressInModule);

// [load/unload] Before anything else of the library runs: notes what a
// relative load path is relative to. Does nothing where paths are always full.
void noteLoadFolder() noexcept;

// [any thread] One more reference on the library that contains the address, so
// that it stays mapped while threads of its own may run; null when unknown.
void* holdModule (const void* addressInModule) noexcept;

// [any thread] Gives a reference of holdModule back; null does nothing.
void releaseModule (void* handle) noexcept;

// [any thread] Runs fn when the process exits, before the statics of the
// library and of the framework inside it are destroyed: threads of our own
// still running then (a host that exits without Close) must stop first. Does
// nothing where the platform ends every other thread before the library's
// exit code runs, as Windows does.
void callAtProcessExit (void (*fn)()) noexcept;
