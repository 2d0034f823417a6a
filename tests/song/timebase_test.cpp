#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "song/primitives.h"
#include "song/random.h"
#include "song/timebase.h"
#include "song_fixture.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    struct Case {
        double x;
        int r;
    } cases[] = {{0.5, 0},    {1.5, 2},   {2.5, 2},          {-0.5, 0},       {-1.5, -2},
                 {2.4999, 2}, {-2.6, -3}, {std::nan(""), 0}, {1e20, INT_MAX}, {-1e20, INT_MIN}};
    for (const Case& c : cases)
        EXPECT_EQ(Round(c.x), c.r) << c.x;
}

TEST(Rounding, FloorToIntIsRoundOfXMinusAHalf) {
    struct Case {
        float x;
        int r;
    } cases[] = {{2.5f, 2}, {-0.5f, -1}, {3.0f, 2}, {4.0f, 4}, {-1.0f, -2},
                 {2.7f, 2}, {-2.3f, -3}, {0.0f, 0}, {1.0f, 0}, {16777215.0f, 16777214}};
    for (const Case& c : cases)
        EXPECT_EQ(FloorToInt(c.x), c.r) << c.x;
}

TEST(Rounding, RoundToMultipleWorksOnTheMagnitude) {
    struct Case {
        int value, step, r;
    } cases[] = {{-7, 5, -10},
                 {6, 5, 5},
                 {8, 5, 10},
                 {1, 5, 0},
                 {2, 5, 5},
                 {-1, 5, 0},
                 {5, 5, 5},
                 {1, 4, 0},
                 {2, 4, 4},
                 {7, 0, 7},
                 {7, -5, 7},
                 {0, 3, 0},
                 {INT_MAX, 10, INT_MAX - 7},
                 {INT_MIN, 10, INT_MIN + 8}};
    for (const Case& c : cases)
        EXPECT_EQ(RoundToMultiple(c.value, c.step), c.r) << c.value << " by " << c.step;
}

TEST(Numbers, SmallHelpers) {
    EXPECT_EQ(Clamp(-3, 0, 127), 0);
    EXPECT_EQ(Clamp(300, 0, 127), 127);
    EXPECT_EQ(Clamp(5, 10, 1), 1); // raised to Lo first, then lowered to Hi
    EXPECT_EQ(MaxInt(3, -4), 3);
    EXPECT_EQ(MinInt(3, -4), -4);
    EXPECT_EQ(ByteSwap32(0x11223344u), 0x44332211u);
    for (const char* yes : {" 12 ", "-5", "+7", "$1F", "0x10", "-2147483648", "2147483647"})
        EXPECT_TRUE(IsIntegerText(yes)) << yes;
    for (const char* no : {"", "  ", "1.5", "abc", "12a", "2147483648", "-", "$"})
        EXPECT_FALSE(IsIntegerText(no)) << no;
}

TEST(Numbers, RandomIntIsTheSharedGenerator) {
    std::uint32_t saved = RandomSeed();
    SetRandomSeed(0);
    EXPECT_EQ(RandomInt(100), 0);
    EXPECT_EQ(RandomInt(100), 3);
    EXPECT_EQ(RandomInt(100), 86);
    EXPECT_EQ(RandomInt(7), 1);
    EXPECT_EQ(RandomSeed(), 870078620u);
    EXPECT_EQ(RandomInt(0), 0);
    SetRandomSeed(saved);
}

class PositionTest : public SongTest {};

TEST_F(PositionTest, BarBeatTickText) {
    EXPECT_EQ(FormatPosition(0), "0001:01:000");
    EXPECT_EQ(FormatPosition(1919), "0002:04:239");
    Song->BeatsPerBar = 3;
    EXPECT_EQ(FormatPosition(720), "0002:01:000");
    Song->BeatsPerBar = 0; // a hostile time signature counts as one beat a bar
    EXPECT_EQ(FormatPosition(720), "0004:01:000");
    int bar, beat, tick;
    Song->BeatsPerBar = 4;
    SplitPosition(1000, bar, beat, tick);
    EXPECT_EQ(bar, 2);
    EXPECT_EQ(beat, 1);
    EXPECT_EQ(tick, 40);
}

class ArrangeGeometry : public SongTest {
protected:
    void TearDown() override {
        BeatWidth = 6;
        SongTest::TearDown();
    }
};

TEST_F(ArrangeGeometry, TicksAndPixelsRoundOnExtendedPrecision) {
    BeatWidth = 6;
    // 120 / 240 is exactly a half (to even); 600 x the extended 1/240 lies just above 2.5.
    EXPECT_EQ(TickToPixel(20), 0);
    EXPECT_EQ(TickToPixel(100), 3);
    EXPECT_EQ(TickToPixel(180), 4);
    EXPECT_EQ(TickToPixel(-100), -3);
    EXPECT_EQ(PixelToTickSnapped(60, true), 1920); // 2.5 bars to the even bar
    EXPECT_EQ(PixelToTickSnapped(84, true), 3840); // 3.5 bars
    EXPECT_EQ(PixelToTickSnapped(9, false), 480);
    EXPECT_EQ(PixelToTickSnapped(15, false), 480);
    BeatWidth = 32;
    EXPECT_EQ(PixelToTick(1), 8);  // 7.5
    EXPECT_EQ(PixelToTick(3), 22); // 22.5
    // Far into a long song at the widest zoom the product needs more than 32 bits.
    BeatWidth = 1000;
    EXPECT_EQ(TickToPixel(3000000), 12500000);
}

TEST_F(ArrangeGeometry, SelectionRectangleSitsOnThePartBoxes) {
    BeatWidth = 6;
    _TPart* p = NewPart("p", 100, 600, 0);
    ASSERT_TRUE(InsertPart(Song->TrackAt(0), p));
    p->Flags |= pfSelected;
    TSong::TRect r;
    Song->SelectedPartsRect(r);
    EXPECT_EQ(r.Left, TickToPixel(100));
    EXPECT_EQ(r.Left, 3);
    EXPECT_EQ(r.Right, 17); // the box's right edge x2 = 16 plus its shadow column
}

TEST_F(PositionTest, ParsePositionRefusals) {
    EXPECT_EQ(ParsePosition(2, 1, 0), 960);
    EXPECT_EQ(ParsePosition(1, 1, 0), 0);
    EXPECT_EQ(ParsePosition(1, 4, 239), 959);
    EXPECT_EQ(ParsePosition(0, 1, 0), -960); // any bar is accepted
    for (auto [bar, beat, tick] : {std::array{1, 5, 0}, std::array{1, 0, 0}, std::array{1, 1, -1},
                                   std::array{1, 1, 240}, std::array{INT_MAX, 1, 0}})
        EXPECT_EQ(ParsePosition(bar, beat, tick), -1) << bar << ":" << beat << ":" << tick;
    Song->BeatsPerBar = 3;
    EXPECT_EQ(ParsePosition(1, 4, 0), -1);
    EXPECT_EQ(ParsePosition(2, 1, 0), 720);
}

TEST_F(PositionTest, TicksToTimeTakesMinutesWithinTheHour) {
    int h, m, s;
    TicksToTime(3600 * 480, h, m, s); // tempo 120: 480 ticks a second
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 0);
    EXPECT_EQ(s, 0);
    TicksToTime(75 * 480, h, m, s); // a whole odd second stays itself
    EXPECT_EQ(m, 1);
    EXPECT_EQ(s, 15);
    TicksToTime(3725 * 480 + 479, h, m, s);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(s, 5);
    midi.Tempo = 0;
    TicksToTime(480, h, m, s); // no division by zero
    EXPECT_GE(s, 0);
}

TEST_F(PositionTest, GridTicksForEveryEditResolution) {
    struct Case {
        int res, grid;
    } cases[] = {{64, 15}, {32, 30}, {16, 60}, {8, 120}, {4, 240}, {2, 480}, {1, 960},  {96, 10},
                 {48, 20}, {24, 40}, {12, 80}, {6, 160}, {3, 320}, {0, 960}, {-4, 960}, {2000, 1}};
    for (const Case& c : cases) {
        Song->EditRes = c.res;
        EXPECT_EQ(Song->GridTicks(), c.grid) << c.res;
    }
}

TEST(Colours, BlendColor) {
    EXPECT_EQ(BlendColor(0x0000FF, 0xFF0000, 0.5f), 0x800080u); // 127.5 goes to 128
    EXPECT_EQ(BlendColor(0x000000, 0x000000, 0.5f), 0x606060u); // from silver
    EXPECT_EQ(BlendColor(0x102030, 0x102030, 1.0f), 0x102030u);
    EXPECT_EQ(BlendColor(0x000000, 0xFFFFFF, 0.0f), 0x000000u);
    EXPECT_EQ(BlendColor(0x000000, 0xFFFFFF, 2.0f), 0xFFFFFFu); // stays a colour
}

TEST(KeyGeometry, KeysFromTheTop) {
    EXPECT_EQ(NoteToKeyY(127), 0);
    EXPECT_EQ(NoteToKeyY(126), 4);
    EXPECT_EQ(NoteToKeyY(125), 7);
    EXPECT_EQ(NoteToKeyY(200), 0);
    EXPECT_EQ(NoteToKeyY(0), 7 * 74); // 75 white keys, 74 above key 0
    EXPECT_TRUE(IsBlackKey(61));
    EXPECT_FALSE(IsBlackKey(60));
    EXPECT_TRUE(IsBlackKey(-1 - 12 + 11)); // -2 is a black key (A#)
    EXPECT_EQ(KeyYToNote(1), 127);
    EXPECT_EQ(KeyYToNote(NoteToKeyY(60) + 3), 60);
    EXPECT_EQ(KeyYToNote(NoteToKeyY(61) + 2), 61);
}

TEST(Automation, ValuePackedInTheUpperHalf) {
    struct Case {
        float value;
        std::uint32_t stored;
    } cases[] = {{1.0f, 0x8000}, {1.5f, 0x8000}, {0.0f, 0},
                 {-0.2f, 0},     {0.5f, 0x4000}, {std::nanf(""), 0}};
    for (const Case& c : cases) {
        _TEvent* e = NewAutomationEvent(480, 2, 7, c.value);
        EXPECT_EQ(e->Msg >> 16, c.stored) << c.value;
        EXPECT_EQ(MidiStatus(e->Msg), 0xB0u);
        EXPECT_EQ(MidiChannel(e->Msg), 2u);
        EXPECT_EQ(AutoEventParam(e->Msg), 7);
        EXPECT_EQ(e->Delta, 480);
        EXPECT_EQ(e->ToGo, 480);
        FreeEvent(e);
    }
}

TEST(Files, FindFileInTreeAnyCaseDepthFirst) {
    TempDir dir;
    dir.WriteFile("a/b/MyPlug.so", "x");
    dir.WriteFile("c/other.so", "x");
    std::string name = "myplug.so";
    EXPECT_TRUE(FindFileInTree(name, dir.Path()));
    EXPECT_EQ(name, dir.Path() + "a/b/MyPlug.so");
    std::filesystem::create_directory_symlink(dir.Path(), dir.Path() + "a/loop");
    std::string missing = "none.so";
    EXPECT_FALSE(FindFileInTree(missing, dir.Path())); // the link back is not followed
    EXPECT_EQ(missing, "none.so");
}

TEST(RunLog, StartsAfreshAndAppends) {
    TempProgramFolder folder(false);
    folder.WriteFile("runtimelog.txt", "old run\n");
    RunLogStart();
    RunLogAdd("Song created...");
    RunLogAdd("MIDI opened...");
    std::string text = folder.ReadFile("runtimelog.txt");
    ASSERT_EQ(text.rfind("Tolvern run-time log ", 0), 0u) << text;
    EXPECT_EQ(text.find("old run"), std::string::npos);
    std::size_t header = text.find('\n');
    EXPECT_EQ(text.substr(header), "\n\nSong created...\nMIDI opened...\n");
}

TEST(RunLog, ALineThatCannotBeWrittenIsSkipped) {
    TempProgramFolder folder(false);
    RunLogStart();
    platform::FailNextFileOp(platform::FileOp::OpenWrite);
    RunLogAdd("never written...");
    RunLogAdd("kept...");
    platform::ClearFileFailures();
    std::string text = folder.ReadFile("runtimelog.txt");
    EXPECT_EQ(text.find("never written"), std::string::npos);
    EXPECT_NE(text.find("kept...\n"), std::string::npos);
}
