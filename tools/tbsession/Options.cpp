#include "Options.h"
#include "tools/common/CommandLine.h"

namespace tbsession
{

const char* const usageText =
    "usage: tbsession [--blocks N] [--dump-audio FILE] [--debug-log FILE]\n"
    "                 [--pump-ms N] [--twice] [--midi] [--double] [--close-from-thread]\n"
    "                 [--set-chunk N]"
    "                 [--alongside PLUGIN2] PLUGIN";

std::optional<Options> parseOptions (const std::vector<std::string>& args, std::string& error)
{
    using tbtools::OptionResult;
    using tbtools::parseWhole;
    Options options;

    const auto isFlag = [&] (const std::string& name)
    {
        return tbtools::takeFlag (name, { { "--twice", &options.twice }, { "--midi", &options.midi },
                                          { "--double", &options.doublePrecision },
                                          { "--close-from-thread", &options.closeFromThread } });
    };

    const auto option = [&] (const std::string& name, const std::string& value)
    {
        bool ok = true;

        if (name == "--blocks")           ok = parseWhole (value, 0, 1000000, options.blocks);
        else if (name == "--set-chunk")   ok = parseWhole (value, 0, 1000, options.chunks);
        else if (name == "--pump-ms")     ok = parseWhole (value, 0, 600000, options.pumpMilliseconds);
        else if (name == "--dump-audio")  { ok = ! value.empty(); options.dumpFile = value; }
        else if (name == "--debug-log")   { ok = ! value.empty(); options.debugLogFile = value; }
        else if (name == "--alongside")   { ok = ! value.empty(); options.alongside = value; }
        else                              return OptionResult::unknown;

        return ok ? OptionResult::taken : OptionResult::badValue;
    };

    if (! tbtools::parseCommandLine (args, isFlag, option, options.plugin, error))
        return {};

    return options;
}

} // namespace tbsession
