// What an appended-to file does alike on every platform: handles retired at
// a switch, and closing.
#include "AppendFile.h"

#include <cstring>

AppendFile::~AppendFile()
{
    close();
}

void AppendFile::close() noexcept
{
    const auto current = handle.exchange (invalidHandle);

    if (current != invalidHandle)
        closeNative (current);

    for (int i = 0; i < numRetired; ++i)
        closeNative (retired[i]);

    numRetired = 0;
}

// A writer that loaded the old handle just before the switch may still write
// through it: it stays open. Far older ones can go.
void AppendFile::retire (std::intptr_t oldHandle) noexcept
{
    if (numRetired == maxRetired)
    {
        closeNative (retired[0]);
        std::memmove (retired, retired + 1, sizeof (retired[0]) * (maxRetired - 1));
        --numRetired;
    }

    retired[numRetired++] = oldHandle;
}
