#include "../ProcessBarrier.h"
#include "WindowsHeaders.h"

bool enableProcessBarrier() noexcept
{
    return true; // every supported Windows has it
}

void processWideBarrier() noexcept
{
    ::FlushProcessWriteBuffers();
}
