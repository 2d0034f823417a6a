#include "devices/call16.h"
#include "devices/midi.h"
#include "platform/core/thunk.h"
#include "platform/midi/midi.h"
#include "support/fake_library.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using Words = std::vector<std::uint16_t>;

namespace {

// What the fake 16-bit routines saw, per thread.
thread_local Words seen;
thread_local std::uint32_t answer = 0;

std::uint32_t Record(const std::uint16_t* W, int Count) {
    seen.assign(W, W + Count);
    return answer;
}

// Takes a buffer (selector, offset) and writes "HELLO" into its first five bytes.
thread_local std::uint32_t lastBuffer = 0;
std::uint32_t Scribble(const std::uint16_t* W, int Count) {
    seen.assign(W, W + Count);
    lastBuffer = (std::uint32_t(W[0]) << 16) | W[1];
    if (auto* p = static_cast<char*>(WOWGetVDMPointer(lastBuffer, 5, true)))
        std::memcpy(p, "HELLO", 5);
    return 0;
}

// Echoes its one 32-bit argument back as DX:AX, plus the thread's mark.
std::uint32_t Echo(const std::uint16_t* W, int Count) {
    if (Count != 2) return 0xFFFFFFFF;
    return ((std::uint32_t(W[0]) << 16) | W[1]) + 1;
}

class CallLayer : public testing::Test {
protected:
    void SetUp() override {
        SetHas16BitThunking(true);
        instance = Load16BitLibrary("/nowhere/words16.dll");
    }
    void TearDown() override {
        FreeLibrary16(instance);
        SetHas16BitThunking(false);
    }
    int Call(std::string_view Name, std::vector<T16BitArg> Args, std::vector<int> Sizes,
             int Convention = 0) {
        return Call16BitRoutine(Name, instance, Convention, Args, Sizes);
    }
    std::string ErrorOf(std::vector<T16BitArg> Args, std::vector<int> Sizes) {
        try {
            Call("Record", std::move(Args), std::move(Sizes));
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    }

    FakeLibrary lib{"words16",
                    {{"Record", FakeLibrary::Entry(&Record)},
                     {"Scribble", FakeLibrary::Entry(&Scribble)},
                     {"Echo", FakeLibrary::Entry(&Echo)}}};
    std::uint32_t instance = 0;
};

} // namespace

TEST_F(CallLayer, ValuesArePushedWordByWordInTheConventionsOrder) {
    using A = T16BitArg;
    struct Case {
        const char* What;
        std::vector<T16BitArg> Args;
        std::vector<int> Sizes;
        int Convention;
        Words Expected;
    } cases[] = {
        {"size 0 first: no arguments", {A::Int(5), A::Int(6)}, {0, 4}, 0, {}},
        {"empty lists: no arguments", {}, {}, 0, {}},
        {"size 4: high word, then low", {A::Int(74565)}, {4}, 0, {1, 9029}},
        {"size 1: the low byte", {A::Int(300)}, {1}, 0, {44}},
        {"size 2: the low word", {A::Int(0x12345)}, {2}, 0, {0x2345}},
        {"boolean and character", {A::Bool(true), A::Char('A')}, {1, 2}, 0, {1, 65}},
        {"other kinds push nothing", {A{T16BitArg::Other, 7, nullptr}, A::Int(3)}, {4, 1}, 0, {3}},
        {"convention 0: first to last", {A::Int(1), A::Int(2), A::Int(3)}, {1, 1, 1}, 0, {1, 2, 3}},
        {"convention 1: last to first", {A::Int(1), A::Int(2), A::Int(3)}, {1, 1, 1}, 1, {3, 2, 1}},
    };
    for (auto& c : cases) {
        seen = {0xDEAD};
        Call("Record", c.Args, c.Sizes, c.Convention);
        EXPECT_EQ(seen, c.Expected) << c.What;
    }
    answer = 0x00012345; // DX 1, AX 9029
    EXPECT_EQ(Call("Record", {A::Int(0)}, {0}), 74565);
}

TEST_F(CallLayer, ABufferTheRoutineChangesComesBackAndItsBlockIsFreed) {
    char buffer[8] = "abcdefg";
    Call("Scribble", {T16BitArg::Buf(buffer)}, {5});
    EXPECT_STREQ(buffer, "HELLOfg") << "five bytes went and came back, no more";
    ASSERT_EQ(seen.size(), 2u) << "selector, then offset";
    EXPECT_EQ(seen[1], 0);
    EXPECT_EQ(WOWGetVDMPointer(lastBuffer, 0, true), nullptr) << "the block was freed";
}

TEST_F(CallLayer, BadCallsRaiseTheirTextsAndLeaveNoBlock) {
    std::uint16_t first = GlobalAlloc16(GMEM_ZEROINIT16, 4);
    GlobalFree16(first);
    std::array<char, 11 * 4> bytes{};
    std::vector<T16BitArg> buffers;
    for (int i = 0; i < 11; ++i)
        buffers.push_back(T16BitArg::Buf(&bytes[i * 4]));
    EXPECT_EQ(ErrorOf(buffers, std::vector<int>(11, 4)), "Too many pointer parameters");
    EXPECT_EQ(ErrorOf({T16BitArg::Int(1)}, {4, 4}), "Parameter mismatch");
    EXPECT_EQ(ErrorOf({}, {0}), "Parameter mismatch");

    std::vector<T16BitArg> ints(258, T16BitArg::Int(7));
    EXPECT_EQ(ErrorOf(ints, std::vector<int>(258, 4)), "Too many parameters");
    ints.pop_back();
    EXPECT_EQ(ErrorOf(ints, std::vector<int>(257, 4)), "no error");
    EXPECT_EQ(seen.size(), 514u) << "the check runs before each argument: 1,028 bytes";
    // A raise after buffers were placed frees them too.
    std::vector<T16BitArg> mixed{T16BitArg::Buf(&bytes[0]), T16BitArg::Buf(&bytes[4])};
    mixed.insert(mixed.end(), 257, T16BitArg::Int(1));
    EXPECT_EQ(ErrorOf(mixed, std::vector<int>(mixed.size(), 4)), "Too many parameters");

    std::uint16_t again = GlobalAlloc16(GMEM_ZEROINIT16, 4);
    EXPECT_EQ(again, first) << "no block of a failed call was left allocated";
    GlobalFree16(again);

    try {
        Call("Missing", {}, {});
        ADD_FAILURE() << "called an entry that is not there";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Get 16-bit address failed: Missing");
    }
    EXPECT_THROW(Load16BitLibrary("/nowhere/absent.dll"), std::runtime_error);
    try {
        Load16BitLibrary("/nowhere/absent.dll");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Load 16-bit dll failed: /nowhere/absent.dll");
    }
}

TEST_F(CallLayer, ThreadsCallingAtOnceEachGetTheirOwnWordsAndResults) {
    auto worker = [this](int Mark, int& Wrong) {
        std::array<char, 8> buffer{};
        for (int i = 0; i < 10000; ++i) {
            std::int32_t v = Mark * 1000000 + i;
            if (Call16BitRoutine("Echo", instance, 0, std::array{T16BitArg::Int(v)},
                                 std::array{4}) != v + 1)
                ++Wrong;
            if (i % 100 == 0) {
                std::snprintf(buffer.data(), buffer.size(), "%d", Mark);
                Call16BitRoutine("Scribble", instance, 0, std::array{T16BitArg::Buf(buffer.data())},
                                 std::array{5});
                if (std::string(buffer.data(), 5) != "HELLO") ++Wrong;
            }
        }
    };
    int wrong[3] = {};
    std::thread a(worker, 1, std::ref(wrong[0])), b(worker, 2, std::ref(wrong[1]));
    worker(3, wrong[2]);
    a.join();
    b.join();
    EXPECT_EQ(wrong[0] + wrong[1] + wrong[2], 0);
}

TEST(CallLayerEngine, AnEngineWithoutWaitMSCannotBeMade) {
    std::vector<std::string> names{"Start",         "StopMidi",     "PushMidiOut", "PushSysexOut",
                                   "DirectMidiOut", "QueueMidiOut", "MoreMidiIn",  "GetMidiInTime",
                                   "GetMidiInData", "GetPos",       "GetTotalPos", "SetupMTC",
                                   "RecordEvent",   "GetLoopCount", "MidiSetup"};
    TSymbolTable table;
    for (auto& n : names)
        table[n] = FakeLibrary::Entry(&Record);
    FakeLibrary engine("midiengine.dll", table);
    TempSettings settings;
    SetMidiRealPorts(false);
    SetHas16BitThunking(true);
    ChooseMidiMode();
    EXPECT_EQ(MidiMode, 0);
    try {
        TMIDI midi(TMidiSetup::Devices);
        ADD_FAILURE() << "made without its engine entry";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Get 16-bit address failed: WaitMS");
    }
    SetHas16BitThunking(false);
    ChooseMidiMode();
    EXPECT_EQ(MidiMode, 1);
    SetMidiRealPorts(true);
}
