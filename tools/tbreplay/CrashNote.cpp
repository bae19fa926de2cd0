#include "CrashNote.h"

#include <cstdio>

namespace tbreplay
{
void formatCrashNote (char* text, std::size_t size, std::uint64_t sequence, const char* name) noexcept
{
    std::snprintf (text, size, "tbreplay: the plug-in crashed in call %llu (%s)\n", (unsigned long long) sequence, name);
}
}
