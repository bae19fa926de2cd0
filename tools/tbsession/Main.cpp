// tbsession: a bare console VST 2 host without any framework, for Linux and
// Windows alike. Loads one plug-in library, calls its entry with a host
// callback of its own and runs one scripted session (Session.cpp); see
// README.md for usage and exit statuses.
#include "Options.h"
#include "Platform.h"
#include "Session.h"

#ifdef _WIN32
 #include "DebugCapture.h"
#endif

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace
{
enum ExitStatus
{
    exitDone = 0,
    exitUsage = 1,
    exitCannotLoad = 2,
    exitNoEntry = 3,
    exitNullRecord = 4,
    exitWrongMagic = 5
};

int fail (int status, const std::string& message)
{
    std::fprintf (stderr, "tbsession: %s\n", message.c_str());
    return status;
}

struct FileCloser
{
    void operator() (std::FILE* f) const { std::fclose (f); }
};

// One plug-in library and the effect its entry gave back.
struct Hosted
{
    explicit Hosted (std::string libraryPath) : path (std::move (libraryPath)) {}

    // Main thread. Loads the library and finds its entry.
    int load (const std::function<void()>& pump)
    {
        library = std::make_unique<tbsession::PluginLibrary> (path);

        if (! library->isLoaded())
            return fail (exitCannotLoad, "cannot load " + path + ": " + library->error());

        pump();

        // Linux plug-ins often export only the newer name, old Windows ones only "main".
        for (const char* name : { "VSTPluginMain", "main" })
        {
            if (auto* symbol = library->find (name))
            {
                entryName = name;
                entry = reinterpret_cast<VstPluginMainProc> (symbol);
                return exitDone;
            }
        }

        return fail (exitNoEntry, "no VSTPluginMain or main in " + path);
    }

    // Main thread. Calls the entry and checks the record.
    int start (const std::function<void()>& pump)
    {
        effect = entry (tbsession::hostCallback);
        pump();

        if (effect == nullptr)
            return fail (exitNullRecord, "main returned null");

        // Nothing else of a record with the wrong magic may be touched.
        if (effect->magic != kEffectMagic)
        {
            char magic[16];
            std::snprintf (magic, sizeof (magic), "%08X", (unsigned) effect->magic);
            return fail (exitWrongMagic, std::string ("wrong magic ") + magic);
        }

        return exitDone;
    }

    std::string path;
    std::unique_ptr<tbsession::PluginLibrary> library;
    const char* entryName = nullptr;
    VstPluginMainProc entry = nullptr;
    AEffect* effect = nullptr;
};
} // namespace

// Main thread: the host's GUI thread, from which every plug-in call is made.
int main (int argc, char* argv[])
{
    std::string error;
    const auto options = tbsession::parseOptions ({ argv + 1, argv + argc }, error);

    if (! options)
        return fail (exitUsage, error + "\n" + tbsession::usageText);

#ifdef _WIN32
    if (! options->debugLogFile.empty() && ! tbsession::startDebugCapture (options->debugLogFile, error))
        return fail (exitUsage, error);
#endif

    tbsession::HostThreadScope hostThread;
    std::unique_ptr<std::FILE, FileCloser> dump;

    if (! options->dumpFile.empty())
    {
        dump.reset (std::fopen (options->dumpFile.c_str(), "wb"));

        if (dump == nullptr)
            return fail (exitUsage, "cannot write " + options->dumpFile);
    }

    const auto pump = [ms = options->pumpMilliseconds] { tbsession::pumpMessages (ms); };
    Hosted first (options->plugin), second (options->alongside);

    if (const auto status = first.load (pump); status != exitDone)
        return status;

    if (! options->alongside.empty())
        if (const auto status = second.load (pump); status != exitDone)
            return status;

    tbsession::printLine ("entry", first.entryName);
    const tbsession::SessionSettings settings { options->blocks, dump.get(), pump, options->midi, options->doublePrecision,
                                                     options->closeFromThread, options->chunks };

    for (int run = 1; run <= (options->twice ? 2 : 1); ++run)
    {
        if (options->twice)
            tbsession::printLine ("run", std::to_string (run));

        // With --alongside, both entries are called before either session
        // runs, so that both plug-ins are hosted at once.
        if (const auto status = first.start (pump); status != exitDone)
            return status;

        if (! options->alongside.empty())
        {
            if (const auto status = second.start (pump); status != exitDone)
                return status;

            tbsession::runSession (first.effect, settings);
            tbsession::printLine ("alongside", second.entryName);
            tbsession::runSession (second.effect, settings);
        }
        else
        {
            tbsession::runSession (first.effect, settings);
        }
    }

    if (dump != nullptr && std::fflush (dump.get()) != 0)
        return fail (exitUsage, "cannot write " + options->dumpFile);

    std::puts ("session done");
    return exitDone;
}
