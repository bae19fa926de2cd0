#include "../ProcessBarrier.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

bool enableProcessBarrier() noexcept
{
    const auto commands = ::syscall (SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);

    return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0
        && ::syscall (SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
}

void processWideBarrier() noexcept
{
    ::syscall (SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
}
