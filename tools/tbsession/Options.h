// tbsession's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tbsession
{

struct Options
{
    int blocks = 16;
    int pumpMilliseconds = 50;
    bool twice = false;
    bool midi = false;
    bool doublePrecision = false; // where the plug-in offers it
    bool closeFromThread = false; // Close sent from a second thread while this one pumps
    int chunks = 0;               // effSetChunk calls before resume
    std::string dumpFile;     // empty: no dump
    std::string debugLogFile; // empty: no capture (Windows only)
    std::string plugin;
    std::string alongside;    // a second plug-in hosted at the same time, or none
};

// Main thread. Returns nothing and sets error when the command line is unusable.
std::optional<Options> parseOptions (const std::vector<std::string>& args, std::string& error);

extern const char* const usageText;

} // namespace tbsession
