#include "Options.h"

namespace tbhost
{

const char* const usageText =
    "usage: tbhost [--sample-rate N] [--block-size N] [--blocks N] [--cycles N]\n"
    "              [--dump-audio FILE] [--editor MS] [--no-params] PLUGIN.so\n";

namespace
{
// Whole decimal numbers only: "12abc" or "" must not pass as a number.
bool parseWhole (const juce::String& text, int minimum, int maximum, int& out)
{
    if (text.isEmpty() || ! text.containsOnly ("0123456789") || text.length() > 9)
        return false;

    const int value = text.getIntValue();

    if (value < minimum || value > maximum)
        return false;

    out = value;
    return true;
}
} // namespace

std::optional<Options> parseOptions (const juce::StringArray& args, juce::String& error)
{
    Options options;
    bool havePlugin = false;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (arg == "--no-params")
        {
            options.parameterPass = false;
            continue;
        }

        if (arg.startsWith ("--"))
        {
            if (i + 1 >= args.size())
            {
                error = arg + " needs a value";
                return {};
            }

            const auto value = args[++i];
            int number = 0;
            bool ok = true;

            if (arg == "--sample-rate")      { ok = parseWhole (value, 1, 1536000, number); options.sampleRate = number; }
            else if (arg == "--block-size")  { ok = parseWhole (value, 1, 65536, number);   options.blockSize = number; }
            else if (arg == "--blocks")      { ok = parseWhole (value, 0, 1000000, number); options.blocks = number; }
            else if (arg == "--cycles")      { ok = parseWhole (value, 1, 10000, number);   options.cycles = number; }
            else if (arg == "--editor")      { ok = parseWhole (value, 0, 600000, number);  options.editorMilliseconds = number; }
            else if (arg == "--dump-audio")  { ok = value.isNotEmpty(); options.dumpFile = juce::File::getCurrentWorkingDirectory().getChildFile (value); }
            else
            {
                error = "unknown option " + arg;
                return {};
            }

            if (! ok)
            {
                error = "bad value for " + arg + ": " + value;
                return {};
            }

            continue;
        }

        if (havePlugin)
        {
            error = "more than one plug-in given";
            return {};
        }

        options.plugin = juce::File::getCurrentWorkingDirectory().getChildFile (arg);
        havePlugin = true;
    }

    if (! havePlugin)
    {
        error = "no plug-in given";
        return {};
    }

    return options;
}

} // namespace tbhost
