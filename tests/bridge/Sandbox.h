// The sandbox in which each end-to-end run of Tattlebox.so happens: a private
// folder with its own copy of the library (so its state file starts empty), a
// home, the scripted zenity's answers, and the run's lines split out of
// standard error.
#pragma once

#include "tests/support/BuildTree.h"
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace bridgetest
{
    using namespace testsupport;

    inline const fs::path tbhost = buildDir / "tbhost";
    inline const std::string rawHostPath = TB_RAWHOST;
    inline const std::string probe = TB_PROBE;

    inline const std::regex dateLine (R"(Tattlebox\.so:([1-9]|[12][0-9]|3[01]) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} ([1-9]|1[0-2]):[0-5][0-9]:[0-5][0-9] (am|pm))");

    struct Run
    {
        int status = -1;
        std::string out, err;
        std::vector<std::string> log; // Tattlebox's lines as "name:text", date lines as "<date>"

        std::ptrdiff_t find (const std::string& line, std::size_t from = 0) const
        {
            auto it = std::find (log.begin() + (std::ptrdiff_t) std::min (from, log.size()), log.end(), line);
            return it == log.end() ? -1 : it - log.begin();
        }

        bool has (const std::string& line) const { return find (line) >= 0; }
    };

    struct DialogCall
    {
        std::string cwd;
        std::vector<std::string> args;
    };

    class Sandbox
    {
    public:
        explicit Sandbox (const std::string& libraryName = "Tattlebox.so")
        {
            char pattern[] = "/tmp/tb-bridge-XXXXXX";
            dir = mkdtemp (pattern);
            pluginDir = dir / "plugins";
            home = dir / "home";
            fs::create_directories (pluginDir);
            fs::create_directories (home / "Documents");
            plugin = pluginDir / libraryName;
            fs::copy_file (buildDir / "Tattlebox.so", plugin);
        }

        ~Sandbox()
        {
            std::error_code ignored;
            fs::remove_all (dir, ignored);
        }

        void answer (const std::vector<std::string>& answers) const
        {
            std::ofstream out (dir / "answers");

            for (auto& a : answers)
                out << a << "\n";
        }

        // assignments come last, so that they win; options are env's own (-u NAME).
        Run run (const std::string& command, const std::string& assignments = {}, const std::string& options = {}) const
        {
            const auto out = dir / "stdout", err = dir / "stderr";
            const auto line = "cd " + shellQuoted (dir) + " && env " + options + " HOME=" + shellQuoted (home)
                            + " PATH=" + shellQuoted (buildDir / "fakebin") + ":\"$PATH\""
                            + " TB_ZENITY_LOG=" + shellQuoted (dir / "zenity.log")
                            + " TB_ZENITY_ANSWERS=" + shellQuoted (dir / "answers") + " " + assignments + " "
                            + command + " >" + shellQuoted (out) + " 2>" + shellQuoted (err);
            Run result;
            result.status = shellStatus (line);
            result.out = readFile (out);
            result.err = readFile (err);

            static const std::regex prefix (R"(^(?:\d\d:\d\d:\d\d\.\d\d\d )?\([0-9A-F]+\) (.*)$)");

            for (auto& l : linesOf (result.err))
            {
                std::smatch m;

                if (std::regex_match (l, m, prefix))
                    result.log.push_back (std::regex_match (m.str (1), dateLine) ? "<date>" : m.str (1));
            }

            return result;
        }

        Run rawHost (const std::string& arguments) const
        {
            return run (shellQuoted (rawHostPath) + " " + arguments);
        }

        std::vector<DialogCall> dialogCalls() const
        {
            std::vector<DialogCall> calls (1);

            for (auto& l : linesOf (readFile (dir / "zenity.log")))
            {
                if (l.rfind ("cwd: ", 0) == 0)       calls.back().cwd = l.substr (5);
                else if (l.rfind ("arg: ", 0) == 0)  calls.back().args.push_back (l.substr (5));
                else if (l == "end")                 calls.emplace_back();
            }

            calls.pop_back();
            return calls;
        }

        std::string stateFile() const
        {
            return readFile (fs::path (plugin).replace_extension (".xml"));
        }

        fs::path dir, pluginDir, home, plugin;
    };

    inline std::string describe (const Run& run)
    {
        return "status " + std::to_string (run.status) + "\n--- stdout\n" + run.out + "--- stderr\n" + run.err;
    }

    inline bool haveHostTools()
    {
        return fs::exists (tbhost) && fs::exists (testPlugins / "tp_basic.so") && fs::exists (buildDir / "fakebin" / "zenity");
    }

    inline std::string realPath (const fs::path& p)
    {
        return fs::canonical (p).string();
    }
}

#define REQUIRE_HOST_TOOLS() \
    if (! haveHostTools()) GTEST_SKIP() << "tbhost, test plug-ins or scripted zenity not built"

using namespace bridgetest;
