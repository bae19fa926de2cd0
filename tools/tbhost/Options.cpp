#include "Options.h"
#include "tools/common/CommandLine.h"

namespace tbhost
{

const char* const usageText =
    "usage: tbhost [--sample-rate N] [--block-size N] [--blocks N] [--cycles N]\n"
    "              [--dump-audio FILE] [--editor MS] [--no-params] [--double] PLUGIN.so\n";

std::optional<Options> parseOptions (const juce::StringArray& args, juce::String& error)
{
    using tbtools::OptionResult;
    using tbtools::parseWhole;
    Options options;
    std::vector<std::string> words;

    for (auto& arg : args)
        words.push_back (arg.toStdString());

    const auto isFlag = [&] (const std::string& name)
    {
        return tbtools::takeFlag (name, { { "--no-params", &options.parameterPass, false },
                                          { "--double", &options.doublePrecision } });
    };

    const auto option = [&] (const std::string& name, const std::string& value)
    {
        int number = 0;
        bool ok = true;

        if (name == "--sample-rate")      { ok = parseWhole (value, 1, 1536000, number); options.sampleRate = number; }
        else if (name == "--block-size")  { ok = parseWhole (value, 1, 65536, number);   options.blockSize = number; }
        else if (name == "--blocks")      { ok = parseWhole (value, 0, 1000000, number); options.blocks = number; }
        else if (name == "--cycles")      { ok = parseWhole (value, 1, 10000, number);   options.cycles = number; }
        else if (name == "--editor")      { ok = parseWhole (value, 0, 600000, number);  options.editorMilliseconds = number; }
        else if (name == "--dump-audio")  { ok = ! value.empty(); options.dumpFile = juce::File::getCurrentWorkingDirectory().getChildFile (value); }
        else                              return OptionResult::unknown;

        return ok ? OptionResult::taken : OptionResult::badValue;
    };

    std::string plugin, problem;

    if (! tbtools::parseCommandLine (words, isFlag, option, plugin, problem))
    {
        error = problem;
        return {};
    }

    options.plugin = juce::File::getCurrentWorkingDirectory().getChildFile (plugin);
    return options;
}

} // namespace tbhost
