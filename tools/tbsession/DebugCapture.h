// Windows: catches every debug-output string of the process (OutputDebugStringA
// and W, any thread) and appends it whole to a file, one WriteFile per string.
// Wine's own debug channel escapes and cuts long strings; this does neither.
#pragma once

#include <string>

namespace tbsession
{

// Main thread, before the plug-in loads. Empties the file first. The capture
// lasts until the process ends, so that strings a library writes while it is
// unloaded at exit are caught too. False, with error set, when the file cannot
// be opened.
bool startDebugCapture (const std::string& file, std::string& error);

} // namespace tbsession
