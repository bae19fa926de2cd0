// What the end-to-end tests do with files and child processes: read files
// and their lines, run a program and collect what it printed and how it ended
// (so that a clean failure, an exit status, is told from a crash), or run a
// shell command line.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

struct RunResult
{
    int exitStatus = -1; // -1 when the process did not exit normally
    int signal = 0;      // the signal that ended it, if one did
    std::string out;
    std::string err;
};

inline std::string readFile (const std::filesystem::path& file)
{
    std::ifstream in (file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> linesOf (const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in (text);

    for (std::string line; std::getline (in, line);)
        lines.push_back (line);

    return lines;
}

inline bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

inline std::string shellQuoted (const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

// What a shell command line prints on standard output, and on standard error too unless told not to.
inline std::string commandOutput (const std::string& command, bool withErrors = true)
{
    std::string output;

    if (auto* pipe = ::popen ((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r"))
    {
        char buffer[4096];

        for (std::size_t n; (n = std::fread (buffer, 1, sizeof (buffer), pipe)) > 0;)
            output.append (buffer, n);

        ::pclose (pipe);
    }

    return output;
}

// The exit status of a shell command line, or 128 + the signal that ended it.
inline int shellStatus (const std::string& command)
{
    const auto status = std::system (command.c_str());
    return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
}

// A raw float32 file (an audio dump) as samples.
inline std::vector<float> readFloats (const std::filesystem::path& file)
{
    const auto bytes = readFile (file);
    std::vector<float> samples (bytes.size() / sizeof (float));
    std::memcpy (samples.data(), bytes.data(), samples.size() * sizeof (float));
    return samples;
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tbhost-test-XXXXXX").string();
        path = ::mkdtemp (pattern.data()) != nullptr ? std::filesystem::path (pattern) : std::filesystem::path();
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all (path, ignored);
    }

    TempFolder (const TempFolder&) = delete;
    TempFolder& operator= (const TempFolder&) = delete;

    std::filesystem::path operator/ (const std::string& name) const { return path / name; }

    std::filesystem::path path;
};

// env entries are "NAME=value", added to (or replacing in) this process's environment.
inline RunResult runProcess (const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& env = {},
                             const std::filesystem::path& workingFolder = {})
{
    TempFolder scratch;
    const auto outFile = scratch / "stdout";
    const auto errFile = scratch / "stderr";
    RunResult result;

    const pid_t pid = ::fork();

    if (pid == 0)
    {
        for (const auto& [name, value] : env)
            ::setenv (name.c_str(), value.c_str(), 1);

        if (! workingFolder.empty() && ::chdir (workingFolder.c_str()) != 0)
            ::_exit (126);

        const int out = ::open (outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open (errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2 (out, 1);
        ::dup2 (err, 2);

        std::vector<char*> argv;

        for (const auto& a : args)
            argv.push_back (const_cast<char*> (a.c_str()));

        argv.push_back (nullptr);
        ::execvp (argv[0], argv.data());
        ::_exit (127);
    }

    int status = 0;

    if (pid > 0 && ::waitpid (pid, &status, 0) == pid)
    {
        if (WIFEXITED (status))
            result.exitStatus = WEXITSTATUS (status);
        else if (WIFSIGNALED (status))
            result.signal = WTERMSIG (status);
    }

    result.out = readFile (outFile);
    result.err = readFile (errFile);
    return result;
}

} // namespace testsupport
