// The mixer beside a rendering thread: buses and inserts added from the mixer, moved and
// deleted from its menu while blocks render and the system timer refreshes the meters (the
// sanitizer builds check what the threads share).
#include "mixer_fixture.h"

#include "song/todo.h"

#include <atomic>
#include <thread>

using namespace platform;

namespace {

class MixerThreads : public MixerTest {};

TEST_F(MixerThreads, BusesChangeWhileBlocksRenderAndTheMetersRefresh) {
    Start();
    TSoftItem* synth = Softsynth(2);
    Open();
    Song->Todos->HandToAudio();
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> out(2 * 256);
        while (!stop.load()) {
            Song->Render(out.data(), 256);
            blocks.fetch_add(1);
            std::this_thread::yield();
        }
    });
    auto command = [&](TSub* Bus, const char* Caption) {
        m->MenuChannel = Bus->Channel;
        for (int i = 0; i < m->PopupBus->Items->Count(); ++i)
            if (m->PopupBus->Items->Items(i)->Caption == Caption)
                m->PopupBus->Items->Items(i)->Click();
    };
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        SubEngine->AddSub(skGroupEffect, "recmfx", m->Handle());
        SubEngine->AddSub(skGroupVolume, "", m->Handle());
        SubEngine->AddSub(skSendEffect, "recmfx", m->Handle());
        TSub* insert = SubEngine->AddSub(skInsertEffect, "recmfx", m->Handle());
        Song->AddTodo(tdAddItem, m->Handle(), &synth->Outputs[round % 2].Inserts, insert);
        for (int b = blocks.load(); blocks.load() < b + 2;)
            std::this_thread::yield();
        gui.Advance(50); // the rebuild the adds posted, and a meter refresh
        command(SubEngine->Buses[SubEngine->Buses.size() - 1], "Move left");
        command(SubEngine->Buses[0], "Delete");
        gui.Advance(50);
    }
    stop = true;
    audio.join();
    Song->Todos->TakeBack();
    gui.Pump();
    EXPECT_EQ(SubEngine->Count(), 2 * kRounds);
    EXPECT_EQ(Items("Insert").size(), std::size_t(kRounds));
    EXPECT_EQ(Items("SubName").size(), std::size_t(2 * kRounds));
}

} // namespace
