// A memory barrier on every running thread of the process at once, which
// lets the threads that call in pay nothing for ordering: a call stores its
// count with a plain move, and the one rare thread that must see every
// count (Close) makes all the others' stores visible before it reads them.
// Linux: membarrier (private, expedited); Windows: FlushProcessWriteBuffers.
#pragma once

// [start-up] Readies the barrier; false where the system has none, and the
// callers must then order their stores themselves (an atomic addition).
bool enableProcessBarrier() noexcept;

// [shut-down] The barrier; only after enableProcessBarrier returned true.
void processWideBarrier() noexcept;
