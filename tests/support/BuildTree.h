// The build tree an end-to-end test runs from: TB_BUILD_DIR, which each such
// test program is compiled with, and the test plug-ins in it.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport
{

inline const std::filesystem::path buildDir = TB_BUILD_DIR;
inline const std::filesystem::path testPlugins = buildDir / "testplugins";

// A test plug-in by its name, "tp_basic" say.
inline std::string testPlugin (const std::string& name)
{
    return (testPlugins / (name + ".so")).string();
}

} // namespace testsupport
