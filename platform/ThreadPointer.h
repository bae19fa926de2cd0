// One pointer per thread for the call paths, whose first use on a thread
// costs no allocation: a library loaded with dlopen gets its thread-locals
// from the C library on first use unless they are initial-exec, and mingw's
// thread-locals are always allocated that way, so Windows uses a TLS index.
#pragma once

#if defined (_WIN32)
 // [any thread, realtime] platform/windows/ThreadPointer.cpp: TlsGetValue, no system call.
 void* getThreadPointer() noexcept;
 // [any thread, realtime]
 void setThreadPointer (void* value) noexcept;
#else
 namespace threadpointer
 {
     inline void*& slot() noexcept
     {
         static thread_local void* value __attribute__ ((tls_model ("initial-exec"))) = nullptr;
         return value;
     }
 }

 // [any thread, realtime]
 inline void* getThreadPointer() noexcept { return threadpointer::slot(); }
 // [any thread, realtime]
 inline void setThreadPointer (void* value) noexcept { threadpointer::slot() = value; }
#endif
