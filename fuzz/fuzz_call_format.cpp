// libFuzzer: the input is a program of calls into the logger, with any
// opcode, index, value, float bit pattern and switch setting, and ptr null,
// at a text or at a rectangle pointer. Lines go to a sink that checks their
// length and touches every byte, so an overrun shows up under the sanitizers.
#include "log/CallStatistics.h"
#include "log/TBLogger.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
volatile unsigned lineChecksum = 0;

void checkLine (const char* line, std::size_t length)
{
    if (length > (std::size_t) TBLogger::maxLineLength)
        std::abort();

    unsigned sum = 0;

    for (std::size_t i = 0; i < length; ++i)
        sum += (unsigned char) line[i];

    lineChecksum = lineChecksum + sum;
}

// A rectangle pointer as a host passes it for EditGetRect. The zero bytes
// after it keep a string opcode's read of the same address inside the object.
struct RectPointer
{
    ERect* rect = nullptr;
    char terminator[8] {};
};

class CallProgram
{
public:
    CallProgram (const std::uint8_t* data, std::size_t size) : input (data, size) {}

    void run()
    {
        while (input.remaining_bytes() > 0)
            step();
    }

private:
    FuzzedDataProvider input;
    std::string text;
    ERect rect { 10, -20, 300, -32768 };
    RectPointer nullRect, validRect { &rect, {} };

    std::int32_t opcode()
    {
        return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int32_t> (-2, 80)
                                   : input.ConsumeIntegral<std::int32_t>();
    }

    float anyFloat()
    {
        const auto bits = input.ConsumeIntegral<std::uint32_t>();
        float value;
        std::memcpy (&value, &bits, sizeof (value));
        return value;
    }

    // Any of the four pointer shapes. A rectangle-out return dereferences
    // what ptr points to, so there only real rectangle pointers are valid.
    void* pointer (bool rectangleOut)
    {
        switch (input.ConsumeIntegralInRange (rectangleOut ? 1 : 0, 3))
        {
            case 0:
                text = input.ConsumeRandomLengthString (65536); // std::string keeps it terminated
                return text.data();
            case 1:  return nullptr;
            case 2:  return &nullRect;
            default: return &validRect;
        }
    }

    static bool isDispatcherRectangleOut (std::int32_t op)
    {
        return (std::uint32_t) op < (std::uint32_t) numDispatcherOpCodes
                 && dispatcherOpCodes[op].pointerKind == kindRectOut;
    }

    void step()
    {
        const auto choice = input.ConsumeIntegralInRange (0, 13);

        switch (choice)
        {
            case 0: // a call from either side, alike but for the catalogue
            case 2:
            {
                const auto op = opcode();
                const auto index = input.ConsumeIntegral<std::int32_t>();
                const auto value = input.ConsumeIntegral<VstIntPtr>();

                if (choice == 0)
                    tbLogger.logDispatcherCall (op, index, value, pointer (false), anyFloat());
                else
                    tbLogger.logAudioMasterCall (op, index, value, pointer (false), anyFloat());

                break;
            }
            case 1:
            {
                const auto op = opcode();
                // A clock reading of any value: durations wrap, they never trap.
                tbLogger.logDispatcherReturn (op, pointer (isDispatcherRectangleOut (op)), input.ConsumeIntegral<VstIntPtr>(),
                                              0, 0, input.ConsumeIntegral<std::uint64_t>());
                break;
            }
            case 3:
            {
                const auto op = opcode();
                tbLogger.logAudioMasterReturn (op, pointer (false), input.ConsumeIntegral<VstIntPtr>(),
                                               0, 0, input.ConsumeIntegral<std::uint64_t>());
                break;
            }
            case 4:
            {
                // Printed, never dereferenced.
                auto* inputs = reinterpret_cast<float**> (input.ConsumeIntegral<std::uintptr_t>());
                auto* outputs = reinterpret_cast<float**> (input.ConsumeIntegral<std::uintptr_t>());
                const auto frames = input.ConsumeIntegral<std::int32_t>();
                tbLogger.logProcess (inputs, outputs, frames, input.ConsumeBool());
                break;
            }
            case 5:
            {
                const auto index = input.ConsumeIntegral<std::int32_t>();
                tbLogger.logSetParameter (index, anyFloat());
                break;
            }
            case 6:
                tbLogger.logGetParameter (input.ConsumeIntegral<std::int32_t>());
                break;
            case 7:
                tbLogger.loggingOn = input.ConsumeBool();
                tbLogger.logParameters = input.ConsumeBool();
                tbLogger.logReturnParameters = input.ConsumeBool();
                tbLogger.logTime = input.ConsumeBool();
                tbLogger.timeCalls = input.ConsumeBool();
                break;
            case 8:
            {
                const auto group = input.ConsumeIntegralInRange (0, numOpCodeGroups - 1);
                const auto index = input.ConsumeIntegralInRange (0, TBLogger::getNumOpCodes (group) - 1);
                TBLogger::setOpCodeEnabled (input.ConsumeBool(), group, index);
                break;
            }
            case 9:
                switch (input.ConsumeIntegralInRange (0, 2))
                {
                    case 0:  TBLogger::setAllOpCodesEnabled (input.ConsumeBool()); break;
                    case 1:  TBLogger::toggleAllOpCodesEnabled(); break;
                    default: TBLogger::resetAllCallCounts(); break;
                }
                break;
            case 10:
            {
                // Through the validating constructor: juce::String mis-sizes
                // invalid UTF-8 given as a plain char pointer.
                const auto name = input.ConsumeRandomLengthString (4096);
                tbLogger.setName (juce::String::createStringFromData (name.data(), (int) name.size()));
                break;
            }
            case 11:
            {
                // Blocks of any size against any rate, from any start.
                callStatistics::noteSampleRateSet (anyFloat());
                const auto function = input.PickValueInArray ({ functionProcess, functionProcessReplacing,
                                                                functionProcessDoubleReplacing });
                const auto frames = input.ConsumeIntegral<std::int32_t>();
                tbLogger.logProcessEnd (function, frames, input.ConsumeIntegral<std::uint64_t>());
                auto* buffers = reinterpret_cast<double**> (input.ConsumeIntegral<std::uintptr_t>());
                tbLogger.logProcessDoubleReplacing (buffers, buffers, frames);
                break;
            }
            case 12:
                tbLogger.writeSummary();
                break;
            default:
                tbLogger.logLine (input.ConsumeRandomLengthString (4096).c_str());
                break;
        }
    }
};
} // namespace

// The fuzzer's thread, once.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    tbLogger.setLineSink (checkLine);
    return 0;
}

// The fuzzer's thread.
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    tbLogger.initialise ("Fuzz.so");
    CallProgram (data, size).run();
    return 0;
}
