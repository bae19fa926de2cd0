// The calling thread's kernel identifier, fetched once per thread: the system
// call is far too slow for the audio thread's every call.
#pragma once

#include <cstdint>
#include <sys/syscall.h>
#include <unistd.h>

// [any thread, realtime]
inline std::uint32_t currentThreadId() noexcept
{
    // initial-exec: a dlopen'ed library's thread-locals would otherwise be
    // allocated on first use in each thread, from the audio thread.
    static thread_local std::uint32_t cached __attribute__ ((tls_model ("initial-exec"))) = 0;

    if (cached == 0)
        cached = (std::uint32_t) ::syscall (SYS_gettid);

    return cached;
}

// [any thread] The process's identifier (a system call: not for the call paths).
inline std::uint32_t currentProcessId() noexcept
{
    return (std::uint32_t) ::getpid();
}

// Kernel thread ids count up by one: consecutive threads land in different
// shards of the call statistics.
constexpr std::uint32_t threadIdStep = 1;
