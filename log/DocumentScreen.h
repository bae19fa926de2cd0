// Screens a state document before the framework's parser sees it. That
// parser recurses once per nesting level (a few thousand levels exhaust a host
// thread's stack), loops for ever on some malformed input, and takes document
// types and unknown entities in ways no state file needs.
#pragma once

#include <juce_core/juce_core.h>

// Whether the framework's parser may be given this document: its structure is
// read by that parser the same way as by this scan, and its nesting is
// shallow. Rejects what well-formed XML does not allow and what we never
// write. Iterative, linear time.
bool passesDocumentScreen (juce::String::CharPointerType text) noexcept;
