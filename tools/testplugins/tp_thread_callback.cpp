// Calls the host from a thread of its own after each resume: exactly ten time
// queries and ten automation calls, 1 ms apart, as plug-ins with a worker or a
// GUI thread do. Suspend and Close wait for the thread to finish, so the
// number of calls is always the same and none comes after Close.
#include "TestEffect.h"

#include <chrono>
#include <thread>

namespace
{
class ThreadCallbackEffect final : public tp::TestEffect
{
public:
    explicit ThreadCallbackEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_thread_callback")) {}
    ~ThreadCallbackEffect() override { joinWorker(); }

private:
    void onMainsChanged (bool on) override
    {
        joinWorker();

        if (on)
            worker = std::thread ([this] { run(); });
    }

    void onClose() override { joinWorker(); }

    void joinWorker()
    {
        if (worker.joinable())
            worker.join();
    }

    // The plug-in's own worker thread.
    void run()
    {
        for (int i = 0; i < 10; ++i)
        {
            callHost (tp::audioMasterGetTime, 0, 0, nullptr, 0.0f);
            callHost (tp::audioMasterAutomate, 0, 0, nullptr, 0.5f);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    }

    std::thread worker;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<ThreadCallbackEffect>)
