// The threads of this process, as the kernel lists them: what a test counts
// to see that Tattlebox left none of its own behind.
#pragma once

#include <dirent.h>

namespace testsupport
{

inline int countThreads()
{
    int count = 0;

    if (auto* dir = ::opendir ("/proc/self/task"))
    {
        while (auto* entry = ::readdir (dir))
            count += entry->d_name[0] != '.' ? 1 : 0;

        ::closedir (dir);
    }

    return count;
}

} // namespace testsupport
