// The test plug-ins called directly, as a raw host would: the exported entry
// names and the documented answers that the bridge's tests rely on.
#include "vst/VstInterface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
const std::filesystem::path pluginDir = std::filesystem::path (TB_BUILD_DIR) / "testplugins";

struct LibraryCloser
{
    void operator() (void* handle) const { dlclose (handle); }
};

using Library = std::unique_ptr<void, LibraryCloser>;

Library open (const std::string& name)
{
    return Library (dlopen ((pluginDir / (name + ".so")).c_str(), RTLD_NOW | RTLD_LOCAL));
}

int hostCalls = 0;

VstIntPtr countingHost (AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float)
{
    ++hostCalls;
    return opcode == 1 ? 2400 : 0;
}

VstIntPtr dispatch (AEffect* e, std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr)
{
    return e->dispatcher (e, opcode, index, value, ptr, 0.0f);
}
} // namespace

TEST (TestPlugins, ExportExactlyTheDocumentedEntries)
{
    struct Expectation { const char* name; bool main; bool vstPluginMain; };

    for (const auto& e : { Expectation { "tp_basic", true, true }, Expectation { "tp_main_only", true, false },
                           Expectation { "tp_vstpluginmain_only", false, true }, Expectation { "tp_no_entry", false, false } })
    {
        auto library = open (e.name);
        ASSERT_NE (library, nullptr) << e.name << ": " << dlerror();
        EXPECT_EQ (dlsym (library.get(), "main") != nullptr, e.main) << e.name;
        EXPECT_EQ (dlsym (library.get(), "VSTPluginMain") != nullptr, e.vstPluginMain) << e.name;
    }
}

TEST (TestPlugins, BasicKeepsItsDocumentedState)
{
    auto library = open ("tp_basic");
    ASSERT_NE (library, nullptr);
    auto entry = reinterpret_cast<VstPluginMainProc> (dlsym (library.get(), "main"));
    AEffect* e = entry (countingHost);
    ASSERT_NE (e, nullptr);
    EXPECT_EQ (e->magic, kEffectMagic);
    EXPECT_EQ (e->numParams, 3);
    EXPECT_EQ (e->numPrograms, 3);

    // A copy of the record, as a wrapper hands it on, still reaches the
    // instance, and the plug-in tells which record each function received.
    AEffect copy = *e;
    copy.setParameter (&copy, 2, 0.7f);
    EXPECT_EQ (copy.getParameter (&copy, 2), 1.0f); // stepped: snaps to 1
    EXPECT_EQ (dispatch (e, 50, 0x74705074, 4), (VstIntPtr) &copy);
    EXPECT_EQ (dispatch (e, 50, 0x74705074, 5), (VstIntPtr) &copy);
    EXPECT_EQ (dispatch (e, 50, 0x74705074, 2), 0);
    EXPECT_EQ (copy.dispatcher (&copy, 50, 0x74705074, 0, nullptr, 0.0f), (VstIntPtr) &copy);

    ERect* rect = nullptr;
    EXPECT_EQ (dispatch (e, 13, 0, 0, &rect), 1);
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (rect->right - rect->left, 320);
    EXPECT_EQ (rect->bottom - rect->top, 240);

    // Chunk round trip: save, change, restore.
    void* chunk = nullptr;
    const auto size = dispatch (e, 23, 0, 0, &chunk);
    ASSERT_EQ (size, (VstIntPtr) (3 * sizeof (float)));
    const std::string saved (static_cast<const char*> (chunk), (std::size_t) size);
    e->setParameter (e, 0, 0.1f);
    EXPECT_EQ (dispatch (e, 24, 0, size, const_cast<char*> (saved.data())), 1);
    EXPECT_EQ (e->getParameter (e, 0), 0.5f);

    // Program 1 halves the gain; its name comes back indexed and current.
    dispatch (e, 2, 0, 1);
    EXPECT_EQ (e->getParameter (e, 0), 0.25f);
    char name[32] = {};
    dispatch (e, 5, 0, 0, name);
    EXPECT_STREQ (name, "Half");
    dispatch (e, 29, 2, 0, name);
    EXPECT_STREQ (name, "Third");

    // process accumulates, processReplacing overwrites; gain 2 * 0.25 = 0.5.
    float inL[4] = { 1, 2, 3, 4 }, inR[4] = { 1, 1, 1, 1 }, outL[4] = { 1, 1, 1, 1 }, outR[4] = {};
    float* ins[] = { inL, inR };
    float* outs[] = { outL, outR };
    e->process (e, ins, outs, 4);
    EXPECT_EQ (outL[3], 3.0f);
    e->processReplacing (e, ins, outs, 4);
    EXPECT_EQ (outL[3], 2.0f);
    EXPECT_EQ (outR[0], 0.5f);

    dispatch (e, 1);
}

TEST (TestPlugins, EntryCallbacksAndIoChangeCallTheHost)
{
    auto library = open ("tp_entry_callbacks");
    auto entry = reinterpret_cast<VstPluginMainProc> (dlsym (library.get(), "main"));
    hostCalls = 0;
    AEffect* e = entry (countingHost);
    EXPECT_EQ (hostCalls, 2);
    EXPECT_EQ (dispatch (e, 49), 2400 * 1000);
    dispatch (e, 1);

    auto ioLibrary = open ("tp_io_change");
    auto ioEntry = reinterpret_cast<VstPluginMainProc> (dlsym (ioLibrary.get(), "main"));
    AEffect* io = ioEntry (countingHost);
    EXPECT_EQ (io->numInputs, 1);
    hostCalls = 0;
    dispatch (io, 12, 0, 1);
    EXPECT_EQ (io->numInputs, 2);
    EXPECT_EQ (hostCalls, 1);
    dispatch (io, 1);
}
