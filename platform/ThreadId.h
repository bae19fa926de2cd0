// The calling thread's numeric identifier, as the log's line prefix shows it.
// Inline: every logged call asks for it.
#pragma once

#if defined (_WIN32)
 #include "windows/ThreadId.h"
#else
 #include "linux/ThreadId.h"
#endif
