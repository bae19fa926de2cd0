// The order in which the library's own static objects are built when it is
// loaded, and the reverse in which they go when it is unloaded: first the
// logger and its sinks (the log file, the background writer, the trace file), then the
// bridge's state, then the object that writes the load and unload lines
// through both: the unload line still finds the file open. Everything else (the framework's statics
// included) comes after them and goes before them.
#pragma once

#define TB_STATIC_LOGGER        __attribute__ ((init_priority (101)))
#define TB_STATIC_LOG_SINKS     __attribute__ ((init_priority (101)))
#define TB_STATIC_BRIDGE_STATE  __attribute__ ((init_priority (102)))
#define TB_STATIC_LIFETIME      __attribute__ ((init_priority (103)))
