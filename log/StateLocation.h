// Where the state file lives. Beside the library where its folder is
// writable, as always; a library installed system-wide (/usr/lib/vst) keeps
// it in the user's state folder instead, read from and written to there.
#pragma once

#include <juce_core/juce_core.h>

// [any thread] The library's file with its extension replaced by "xml", or,
// where the library's folder exists but may not be written to,
// <user state folder>/tattlebox/<library name>.xml, provided that folder can
// be created (private to the user) and written into. Windows always keeps it
// beside the DLL. A fallback folder that is not the user's own or that others
// may write into (they could leave a state file there, with a target to load
// without asking) is not used: then there is no state file, a default File,
// and refusal says why ("Refused state folder <path>: writable by others",
// ": owned by another user", ": not a folder").
juce::File locateStateFile (const juce::File& pluginFile, juce::String* refusal = nullptr);

// [any thread] $XDG_STATE_HOME where it is an absolute path, otherwise
// ~/.local/state; a default File when there is no home folder either.
juce::File getUserStateFolder();
