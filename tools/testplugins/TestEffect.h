// A tiny VST 2 effect for the test plug-ins: the record, the five entry
// functions and a deterministic gain, with hooks for the odd behaviours each
// test plug-in scripts. Built on our own interface header, not on the host's.
#pragma once

#include "vst/VstInterface.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tp
{

// The published VST 2 numbers that the test plug-ins use.
enum DispatcherOpcode : std::int32_t
{
    effOpen = 0, effClose = 1, effSetProgram = 2, effGetProgram = 3, effSetProgramName = 4,
    effGetProgramName = 5, effGetParamLabel = 6, effGetParamDisplay = 7, effGetParamName = 8,
    effSetSampleRate = 10, effSetBlockSize = 11, effMainsChanged = 12, effEditGetRect = 13,
    effEditOpen = 14, effEditClose = 15, effEditIdle = 19, effGetChunk = 23, effSetChunk = 24,
    effCanBeAutomated = 26, effGetProgramNameIndexed = 29, effGetPlugCategory = 35,
    effGetEffectName = 45, effGetVendorString = 47, effGetProductString = 48,
    effGetVendorVersion = 49, effVendorSpecific = 50, effCanDo = 51, effGetTailSize = 52, effGetVstVersion = 58
};

enum AudioMasterOpcode : std::int32_t
{
    audioMasterAutomate = 0, audioMasterVersion = 1, audioMasterCurrentId = 2,
    audioMasterGetTime = 7, audioMasterIOChanged = 13
};

// effVendorSpecific with this index and value f (0 dispatcher, 2 process,
// 3 processReplacing, 4 setParameter, 5 getParameter, 6 processDoubleReplacing) answers the effect
// pointer that function last received, so a host can check what reaches us.
constexpr std::int32_t lastEffectQuery = 0x74705074; // 'tpPt'

enum EffectFlags : std::int32_t
{
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsCanDoubleReplacing = 1 << 12
};

struct ParameterInfo
{
    const char* name;
    const char* label;
    float defaultValue;
    int steps; // 0: continuous; otherwise the value snaps to steps evenly spaced values
};

struct Program
{
    std::string name;
    std::vector<float> values;
};

struct EffectSettings
{
    const char* name = "tp";
    std::int32_t numInputs = 2;
    std::int32_t numOutputs = 2;
    std::vector<ParameterInfo> parameters { { "Gain", "dB", 0.5f, 0 } };
    std::vector<std::string> programNames { "Default" };
    std::int32_t flags = effFlagsCanReplacing;
    std::int32_t uniqueId = 0x74704261; // 'tpBa'
    ERect editorRect { 0, 0, 0, 0 };
};

// The defaults under a plug-in's own name.
inline EffectSettings named (const char* name)
{
    EffectSettings s;
    s.name = name;
    return s;
}

class TestEffect
{
public:
    TestEffect (AudioMasterCallback hostCallback, EffectSettings settings);
    virtual ~TestEffect() = default;

    TestEffect (const TestEffect&) = delete;
    TestEffect& operator= (const TestEffect&) = delete;

    AEffect* getRecord() noexcept { return &effect; }

protected:
    // All of these run on whichever thread the host calls from.
    virtual VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
    virtual void onClose() {}
    virtual void onMainsChanged (bool /*on*/) {}
    // Audio thread, before each block of either precision is rendered.
    virtual void onBlock() {}
    // Any thread, before the value is taken.
    virtual void onSetParameter (std::int32_t /*index*/, float /*value*/) {}

    VstIntPtr callHost (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
    float gainFor (int channel) const noexcept;

    AudioMasterCallback host;
    EffectSettings settings;
    AEffect effect {};

private:
    enum Entry { entryDispatcher = 0, entryProcess = 2, entryProcessReplacing = 3, entrySetParameter = 4,
                 entryGetParameter = 5, entryProcessDoubleReplacing = 6 };

    static TestEffect* from (AEffect* e, Entry entry) noexcept;
    static VstIntPtr dispatcherEntry (AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*, float);
    static void processEntry (AEffect*, float**, float**, std::int32_t);
    static void processReplacingEntry (AEffect*, float**, float**, std::int32_t);
    static void setParameterEntry (AEffect*, std::int32_t, float);
    static float getParameterEntry (AEffect*, std::int32_t);
    static void processDoubleReplacingEntry (AEffect*, double**, double**, std::int32_t);

    template <typename Sample>
    void render (Sample** inputs, Sample** outputs, std::int32_t frames, bool accumulate) const noexcept;
    float quantise (int index, float value) const noexcept;
    bool validParameter (std::int32_t index) const noexcept;
    void selectProgram (int index);
    VstIntPtr copyText (void* ptr, const std::string& text, std::size_t capacity) const;
    std::string displayFor (int index) const;

    std::vector<float> values;
    std::vector<Program> programs;
    int currentProgram = 0;
    std::vector<char> chunk;
    std::array<std::atomic<AEffect*>, 7> lastEffect {};
};

} // namespace tp

#ifdef _WIN32
// Windows: the build writes each library's .def file from its TP_EXPORT_ENTRY
// lines, mapping the exported names onto these functions; an assembler name
// would get in the way of 32-bit symbol decoration.
 #define TP_EXPORT_ENTRY(function, symbol) extern "C" AEffect* function (AudioMasterCallback)
 #define TP_VISIBLE
#else
// Exports a plug-in entry under an exact symbol name (neither C++ nor the
// compiler's idea of "main" may get in the way).
 #define TP_EXPORT_ENTRY(function, symbol) \
    extern "C" __attribute__ ((visibility ("default"))) AEffect* function (AudioMasterCallback) __asm__ (symbol)
 #define TP_VISIBLE __attribute__ ((visibility ("default")))
#endif

// Host thread that loads the plug-in: both entries make the effect with the
// given function (the TP_EXPORT_ENTRY lines stay in each source, where the
// Windows build reads them).
#define TP_ENTRIES_MAKE(make) \
    AEffect* tpMain (AudioMasterCallback host) { return make (host); } \
    AEffect* tpVstPluginMain (AudioMasterCallback host) { return make (host); }

namespace tp
{
    // The effect of class Effect, built with the host's callback.
    template <typename Effect>
    AEffect* make (AudioMasterCallback host) { return (new Effect (host))->getRecord(); }

    // The plain test effect with the given settings.
    template <EffectSettings (*settings)()>
    AEffect* makeWith (AudioMasterCallback host) { return (new TestEffect (host, settings()))->getRecord(); }
}
