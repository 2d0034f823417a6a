#include "devices/audio.h"
#include "heap_counter.h"
#include "song/seams.h"
#include "song/todo.h"
#include "song_fixture.h"
#include "support/fake_library.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct TItem {
    int Id;
};

struct PurgeCounter : TSongEngines {
    int purges = 0;
    void PurgeDiskSamples(TSong&) override { ++purges; }
};

class TodoTest : public SongTest {
protected:
    // The audio thread: drains once, counting its heap calls.
    int RunOnAudioThread() {
        int calls = 0;
        std::thread audio([&] {
            heapcounter::Start();
            Song->RunTodos();
            calls = heapcounter::Stop();
        });
        audio.join();
        return calls;
    }
    static std::vector<int> Ids(const TTodoList<TItem>& L) {
        std::vector<int> r;
        for (TItem* i : L.Items)
            r.push_back(i->Id);
        return r;
    }
    std::vector<TItem> items = std::vector<TItem>(200);
    TTodoList<TItem> list;
    void SetUp() override {
        SongTest::SetUp();
        for (int i = 0; i < 200; ++i)
            items[i].Id = i;
    }
};

} // namespace

TEST_F(TodoTest, WithTheAudioStoppedAnActionIsDoneBeforeAddTodoReturns) {
    testsupport::RecordingWindow window;
    Song->AddTodo(tdAddItem, window.Handle(), &list, &items[7]);
    EXPECT_EQ(Ids(list), std::vector<int>{7});
    Song->AddTodo(tdAddItem, -1, &list, &items[8]); // nobody to tell
    EXPECT_EQ(Ids(list), (std::vector<int>{7, 8}));
    EXPECT_EQ(Song->Todos->Count(), 0);
    testsupport::PumpAll();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0],
              (testsupport::Received{window.Handle(), platform::WM_USER, 2, 0}));

    PurgeCounter engines;
    SetSongEngines(&engines);
    Song->AddTodo(tdPurgeDiskSamples, -1, nullptr, nullptr);
    Song->AddTodo(9, -1, &list, &items[9]); // an unknown kind does nothing
    SetSongEngines(nullptr);
    EXPECT_EQ(engines.purges, 1);
    EXPECT_EQ(list.Items.size(), 2u);
}

TEST_F(TodoTest, WhileTheAudioRunsTheRendererAddsInOrderWithoutTouchingTheHeap) {
    Song->Todos->HandToAudio();
    // Enough actions to outgrow the list's first room several times over.
    for (int i = 0; i < 100; ++i)
        Song->AddTodo(tdAddItem, -1, &list, &items[i]);
    EXPECT_TRUE(list.Items.empty()) << "nothing happens before a block comes";
    EXPECT_EQ(Song->Todos->Count(), 100);
    EXPECT_EQ(RunOnAudioThread(), 0);
    ASSERT_EQ(list.Items.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(list.Items[i]->Id, i);
    EXPECT_EQ(Song->Todos->Count(), 0);

    // The buffers the renderer gave back are freed by the GUI thread as it queues more.
    for (int round = 0; round < 3; ++round) {
        for (int i = 100 + round * 30; i < 130 + round * 30; ++i)
            Song->AddTodo(tdAddItem, -1, &list, &items[i]);
        EXPECT_EQ(RunOnAudioThread(), 0);
    }
    EXPECT_EQ(list.Items.size(), 190u);
    EXPECT_EQ(list.Items.back()->Id, 189);

    // Once the audio layer confirms the stop, the GUI thread carries out what is left.
    Song->Todos->HandToAudio();
    Song->AddTodo(tdAddItem, -1, &list, &items[190]);
    Song->Todos->TakeBack();
    Song->AddTodo(tdAddItem, -1, &list, &items[191]);
    EXPECT_EQ(list.Items.size(), 192u);
    EXPECT_EQ(list.Items.back()->Id, 191);
}

TEST_F(TodoTest, ClearingDropsTheQueueAndLaterAddsStillNeverAllocate) {
    Song->Todos->HandToAudio();
    for (int i = 0; i < 20; ++i)
        Song->AddTodo(tdAddItem, -1, &list, &items[i]);
    Song->ClearTodos();
    EXPECT_EQ(Song->Todos->Count(), 0);
    EXPECT_EQ(RunOnAudioThread(), 0);
    EXPECT_TRUE(list.Items.empty());
    // The room the dropped actions promised never came: new actions bring their own.
    for (int i = 20; i < 60; ++i)
        Song->AddTodo(tdAddItem, -1, &list, &items[i]);
    EXPECT_EQ(RunOnAudioThread(), 0);
    ASSERT_EQ(list.Items.size(), 40u);
    EXPECT_EQ(list.Items.front()->Id, 20);
    // A new song drops what is queued.
    Song->AddTodo(tdAddItem, -1, &list, &items[60]);
    Song->Clear();
    EXPECT_EQ(Song->Todos->Count(), 0);
    Song->Todos->TakeBack();
}

TEST_F(TodoTest, ProducerAndRendererAtOnceKeepEveryActionInOrder) {
    Song->Todos->HandToAudio();
    std::atomic<bool> done{false};
    std::atomic<int> consumerHeap{0};
    std::thread audio([&] {
        heapcounter::Start();
        while (!done.load())
            Song->RunTodos();
        Song->RunTodos();
        consumerHeap = heapcounter::Stop();
    });
    std::vector<TItem> many(20000);
    for (int i = 0; i < 20000; ++i) {
        many[i].Id = i;
        Song->AddTodo(tdAddItem, -1, &list, &many[i]);
    }
    done = true;
    audio.join();
    EXPECT_EQ(consumerHeap, 0);
    ASSERT_EQ(list.Items.size(), 20000u);
    bool inOrder = true;
    for (int i = 0; i < 20000; ++i)
        inOrder = inOrder && list.Items[i]->Id == i;
    EXPECT_TRUE(inOrder);
    Song->Todos->TakeBack();
}

namespace {

// An audio-system driver whose blocks the test calls itself, on a thread of its own.
TvAudioCallback driverCallback = nullptr;
std::int32_t FakeDriver(std::int32_t Cmd, std::intptr_t A, std::intptr_t) {
    if (Cmd == TV_AUDIO_OPEN) driverCallback = reinterpret_cast<TvAudioCallback>(A);
    if (Cmd == TV_AUDIO_BLOCK_SIZE) return 256;
    return 0;
}

void DriverBlock() {
    std::thread driver([] {
        std::vector<float> out(512);
        driverCallback(out.data(), 256, 1);
    });
    driver.join();
}

} // namespace

TEST_F(TodoTest, TheAudioObjectHandsTheQueueToTheRendererAndTakesItBack) {
    settings.WriteIni("[Audio]\nSystem=Fake\n");
    FakeLibrary driver("system\\Fake.dll", {{"Properties", FakeLibrary::Entry(&FakeDriver)}});
    {
        TAudio audio(0);
        audio.Open(0);
        ASSERT_TRUE(audio.AudioOn);
        audio.Start();
        Song->AddTodo(tdAddItem, -1, &list, &items[1]);
        EXPECT_TRUE(list.Items.empty()) << "the next block carries it out";
        DriverBlock();
        EXPECT_EQ(Ids(list), std::vector<int>{1});
        Song->AddTodo(tdAddItem, -1, &list, &items[2]);
        audio.Stop(); // no block comes any more: the GUI thread carries it out
        EXPECT_EQ(Ids(list), (std::vector<int>{1, 2}));
        Song->AddTodo(tdAddItem, -1, &list, &items[3]);
        EXPECT_EQ(list.Items.size(), 3u);
    }
}
