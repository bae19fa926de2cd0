#include "FileChecks.h"

const char* describeRefusal (FileFault fault) noexcept
{
    switch (fault)
    {
        case FileFault::symbolicLink:   return ": a symbolic link";
        case FileFault::notRegularFile: return ": not a regular file";
        case FileFault::foreignOwner:   return ": owned by another user";
        case FileFault::none:
        case FileFault::cannotOpen:     break;
    }

    return nullptr;
}
