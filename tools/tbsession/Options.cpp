#include "Options.h"

namespace tbsession
{

const char* const usageText =
    "usage: tbsession [--blocks N] [--dump-audio FILE] [--debug-log FILE]\n"
    "                 [--pump-ms N] [--twice] [--alongside PLUGIN2] PLUGIN";

namespace
{
// Whole decimal numbers only: "12abc", "-1" or "" must not pass as a number.
bool parseWhole (const std::string& text, int maximum, int& out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of ("0123456789") != std::string::npos)
        return false;

    const int value = std::stoi (text);

    if (value > maximum)
        return false;

    out = value;
    return true;
}
} // namespace

std::optional<Options> parseOptions (const std::vector<std::string>& args, std::string& error)
{
    Options options;
    bool havePlugin = false;

    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (arg == "--twice")
        {
            options.twice = true;
            continue;
        }

        if (arg.rfind ("--", 0) == 0)
        {
            if (i + 1 >= args.size())
            {
                error = arg + " needs a value";
                return {};
            }

            const auto& value = args[++i];
            bool ok = true;

            if (arg == "--blocks")           ok = parseWhole (value, 1000000, options.blocks);
            else if (arg == "--pump-ms")     ok = parseWhole (value, 600000, options.pumpMilliseconds);
            else if (arg == "--dump-audio")  { ok = ! value.empty(); options.dumpFile = value; }
            else if (arg == "--debug-log")   { ok = ! value.empty(); options.debugLogFile = value; }
            else if (arg == "--alongside")   { ok = ! value.empty(); options.alongside = value; }
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

        options.plugin = arg;
        havePlugin = true;
    }

    if (! havePlugin)
    {
        error = "no plug-in given";
        return {};
    }

    return options;
}

} // namespace tbsession
