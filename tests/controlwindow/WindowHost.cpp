// A bare host that keeps Tattlebox open while a test drives its window from
// outside, as a person would. Commands on standard input, one per line:
//   process N    N processReplacing calls of 64 frames
//   dispatch OP  one dispatcher call with that opcode
//   close        suspend and Close, then unload and exit
// It prints "ready" once main has returned, "closed" after Close.
#include "vst/VstInterface.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace
{
    VstIntPtr hostCallback (AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float)
    {
        return opcode == 1 ? 2400 : 0;
    }

    void say (const char* text)
    {
        std::printf ("%s\n", text);
        std::fflush (stdout);
    }
}

int main (int argc, char** argv)
{
    if (argc != 2)
        return 1;

    void* library = dlopen (argv[1], RTLD_NOW | RTLD_LOCAL);
    auto entry = library != nullptr ? (VstPluginMainProc) dlsym (library, "VSTPluginMain") : nullptr;

    if (entry == nullptr)
        return 2;

    AEffect* effect = entry (hostCallback);

    if (effect == nullptr)
        return 3;

    effect->dispatcher (effect, 0, 0, 0, nullptr, 0.0f);
    effect->dispatcher (effect, 10, 0, 0, nullptr, 44100.0f);
    effect->dispatcher (effect, 11, 0, 64, nullptr, 0.0f);
    effect->dispatcher (effect, 12, 0, 1, nullptr, 0.0f);
    say ("ready");

    std::vector<float> left (64), right (64), outLeft (64), outRight (64);
    float* inputs[] = { left.data(), right.data() };
    float* outputs[] = { outLeft.data(), outRight.data() };

    for (std::string command; std::cin >> command;)
    {
        if (command == "process")
        {
            int count = 0;
            std::cin >> count;

            for (int i = 0; i < count; ++i)
                effect->processReplacing (effect, inputs, outputs, 64);

            say ("done");
        }
        else if (command == "dispatch")
        {
            int opcode = 0;
            std::cin >> opcode;
            effect->dispatcher (effect, opcode, 0, 0, nullptr, 0.0f);
            say ("done");
        }
        else if (command == "close")
        {
            effect->dispatcher (effect, 12, 0, 0, nullptr, 0.0f);
            effect->dispatcher (effect, 1, 0, 0, nullptr, 0.0f);
            say ("closed");
            break;
        }
    }

    // Long enough for a stray timer tick on a deleted window to show itself.
    std::this_thread::sleep_for (std::chrono::milliseconds (300));
    dlclose (library);
    return 0;
}
