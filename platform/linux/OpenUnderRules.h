// The open behind every file the rules of FileChecks.h cover, on Linux.
#pragma once

#include "../FileChecks.h"

#include <sys/stat.h>

// [any thread, realtime] open(2) of path with flags (and mode where O_CREAT
// is among them), never following a link at its end nor blocking on a FIFO;
// the descriptor (blocking again) where the file meets the rules, with what
// fstat said of it in info, otherwise -1 and the fault.
int openUnderRules (const char* path, int flags, mode_t mode, FileFault& fault, struct stat& info) noexcept;

// [any thread] The same rules for what lstat says of a file.
FileFault faultOf (const struct stat& info) noexcept;
