// What differs between Linux and Windows for a bare host: loading the library,
// the host thread's set-up and pumping its message queue.
#pragma once

#include <string>

namespace tbsession
{

class PluginLibrary
{
public:
    // Main thread. Loads the library by its absolute path; error says why not.
    explicit PluginLibrary (const std::string& path);
    ~PluginLibrary();

    PluginLibrary (const PluginLibrary&) = delete;
    PluginLibrary& operator= (const PluginLibrary&) = delete;

    bool isLoaded() const noexcept { return handle != nullptr; }
    const std::string& error() const noexcept { return loadError; }

    // Main thread. Null when the library exports no such name.
    void* find (const char* name) const;

private:
    void* handle = nullptr;
    std::string loadError;
};

// The host thread as a GUI host prepares it: on Windows OLE initialised and
// standard output in binary mode (the summary must be byte for byte the same
// on both systems); nothing on Linux.
class HostThreadScope
{
public:
    HostThreadScope();  // Main thread.
    ~HostThreadScope(); // Main thread.

    HostThreadScope (const HostThreadScope&) = delete;
    HostThreadScope& operator= (const HostThreadScope&) = delete;

private:
    bool oleInitialised = false;
};

// Main thread. Windows: dispatches the thread's messages for the given time, as
// a host's GUI thread does between calls. Linux: nothing (plug-ins run their
// own message thread there).
void pumpMessages (int milliseconds);

} // namespace tbsession
