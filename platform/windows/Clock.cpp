#include "../ThreadId.h"
#include "../TimeOfDay.h"
#include "WindowsHeaders.h"

std::uint32_t currentThreadId() noexcept
{
    return (std::uint32_t) ::GetCurrentThreadId();
}

TimeOfDay localTimeOfDay() noexcept
{
    SYSTEMTIME now {};
    ::GetLocalTime (&now);
    return { now.wHour, now.wMinute, now.wSecond, now.wMilliseconds };
}
