// The command line of our console hosts (tbhost, tbsession): flags, options
// with one value each, and exactly one plug-in. Plain C++, so that tbsession
// stays free of the framework.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace tbtools
{

// Whole decimal numbers only: "12abc", "-1" or "" must not pass as a number.
inline bool parseWhole (const std::string& text, int minimum, int maximum, int& out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of ("0123456789") != std::string::npos)
        return false;

    const int value = std::stoi (text);

    if (value < minimum || value > maximum)
        return false;

    out = value;
    return true;
}

enum class OptionResult { taken, unknown, badValue };

// A flag that sets a switch to a value, for a table of the flags a host knows.
struct Flag
{
    const char* name;
    bool* target;
    bool value = true;
};

// Sets the switch of the named flag; false where none has that name.
inline bool takeFlag (const std::string& name, std::initializer_list<Flag> flags)
{
    for (const auto& flag : flags)
    {
        if (name == flag.name)
        {
            *flag.target = flag.value;
            return true;
        }
    }

    return false;
}

// isFlag (name) says whether a "--name" without a value is known (and takes
// it); option (name, value) takes an option with its value. False, with
// error set, when the command line is unusable.
template <typename IsFlag, typename TakeOption>
bool parseCommandLine (const std::vector<std::string>& args, IsFlag&& isFlag, TakeOption&& option,
                       std::string& plugin, std::string& error)
{
    bool havePlugin = false;

    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (arg.rfind ("--", 0) != 0)
        {
            if (havePlugin)
            {
                error = "more than one plug-in given";
                return false;
            }

            plugin = arg;
            havePlugin = true;
            continue;
        }

        if (isFlag (arg))
            continue;

        if (i + 1 >= args.size())
        {
            error = arg + " needs a value";
            return false;
        }

        const auto& value = args[++i];

        switch (option (arg, value))
        {
            case OptionResult::taken:    break;
            case OptionResult::unknown:  error = "unknown option " + arg; return false;
            case OptionResult::badValue: error = "bad value for " + arg + ": " + value; return false;
        }
    }

    if (! havePlugin)
    {
        error = "no plug-in given";
        return false;
    }

    return true;
}

} // namespace tbtools
