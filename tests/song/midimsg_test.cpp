#include "devices/midi.h"
#include "devices/midimsg.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PackedMidi, PackAndTakeApart) {
    std::uint32_t m = PackMidiMsg(0x90, 60, 100);
    EXPECT_EQ(m, 0x00643C90u);
    EXPECT_EQ(MidiStatus(m), 0x90u);
    EXPECT_EQ(MidiChannel(m), 0u);
    EXPECT_EQ(MidiData1(m), 60u);
    EXPECT_EQ(MidiNote(m), 60u);
    EXPECT_EQ(MidiData2(m), 100u);
    EXPECT_EQ(MidiByte3(m), 0u);
    // The track number in the fourth byte changes nothing else.
    std::uint32_t t = m | (5u << 24);
    EXPECT_EQ(MidiByte3(t), 5u);
    EXPECT_EQ(MidiStatus(t), 0x90u);
    EXPECT_EQ(MidiData1(t), 60u);
    EXPECT_EQ(MidiData2(t), 100u);
    EXPECT_EQ(MidiChannel(PackMidiMsg(0xB7, 7, 1)), 7u);
}

TEST(PackedMidi, NoteOnAndOffByKind) {
    struct Case {
        std::uint32_t msg;
        bool on, off;
    } cases[] = {
        {PackMidiMsg(0x90, 60, 100), true, false}, {PackMidiMsg(0x93, 60, 0), false, true},
        {PackMidiMsg(0x80, 60, 64), false, true},  {PackMidiMsg(0xB0, 7, 100), false, false},
        {PackMidiMsg(0x20, 3, 0), true, false},    {PackMidiMsg(0x20, 3, 100), true, false},
        {PackMidiMsg(0x30, 3, 0), false, true},    {PackMidiMsg(0x10, 3, 64), false, false},
        {PackMidiMsg(0xF0, 0, 0), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNoteOn(c.msg), c.on) << std::hex << c.msg;
        EXPECT_EQ(IsNoteOff(c.msg), c.off) << std::hex << c.msg;
    }
    // Two sample notes that differ only in pan differ as messages.
    EXPECT_NE(PackMidiMsg(0x20, 1, 100) | (10u << 24), PackMidiMsg(0x20, 1, 100) | (90u << 24));
}

TEST(PackedMidi, NoteNames) {
    struct Case {
        int note;
        const char* name;
    } cases[] = {{60, "C3"},  {0, "C-2"},  {127, "G8"}, {61, "C#3"},
                 {11, "B-2"}, {12, "C-1"}, {69, "A3"},  {-1, "B-3"}};
    for (const Case& c : cases)
        EXPECT_EQ(MidiNoteName(c.note), c.name) << c.note;
}

TEST(PackedMidi, SoundCardParameterPacking) {
    std::uint32_t low = PackAweParam(2, 5, -8192);
    EXPECT_EQ(MidiStatus(low), 0x10u);
    EXPECT_EQ(MidiChannel(low), 2u);
    EXPECT_EQ(MidiData1(low), 5u);
    EXPECT_EQ(MidiData2(low), 0u);
    EXPECT_EQ(MidiByte3(low), 0u);
    std::uint32_t zero = PackAweParam(0, 5, 0);
    EXPECT_EQ(MidiData2(zero), 64u);
    EXPECT_EQ(MidiByte3(zero), 0u);
    std::uint32_t high = PackAweParam(0, 5, 8192);
    EXPECT_EQ(MidiData2(high), 128u);
    for (int v : {-8192, -1, 0, 77, 8191, 8192})
        EXPECT_EQ(AweParamValue(PackAweParam(0, 1, v)), v);
}

TEST(PackedMidi, TicksAndTimeFollowTheTempo) {
    TMIDI midi;
    Midi = &midi;
    EXPECT_EQ(midi.Tempo, 120);
    EXPECT_DOUBLE_EQ(TicksToMs(240), 500.0);
    EXPECT_EQ(MsToTicks(500), 240);
    midi.Tempo = 100;
    EXPECT_EQ(MsToTicks(1), 0);    // Round(0.4)
    EXPECT_EQ(MsToTicks(1.25), 0); // 0.5 goes to the even 0
    EXPECT_EQ(MsToTicks(3.75), 2); // 1.5 goes to 2
    midi.Tempo = 0;                // never divides by zero
    EXPECT_TRUE(std::isfinite(TicksToMs(240)));
    Midi = nullptr;
    EXPECT_DOUBLE_EQ(TicksToMs(240), 500.0); // 120 before the MIDI object exists
}

TEST(PackedMidi, BytesOfADurationInWholeFrames) {
    EXPECT_EQ(MsToBytes(44100, 16, 2, 1), 176);
    EXPECT_EQ(MsToBytes(44100, 24, 2, 1), 270);
    EXPECT_EQ(MsToBytes(44100, 4, 2, 1), 0); // no whole bytes per sample: nothing to align to
}

TEST(MidiObject, SendsGoToTheRecordingSink) {
    TMIDI midi;
    midi.DirectMidiOut(2, PackMidiMsg(0xB1, 0, 0));
    midi.QueueMidiOut(0, PackMidiMsg(0x90, 60, 1));
    ASSERT_EQ(midi.Sent.size(), 2u);
    EXPECT_EQ(midi.Sent[0].Port, 2);
    EXPECT_EQ(midi.Sent[0].Msg, 0xB1u);
    EXPECT_EQ(midi.Sent[1].Msg, PackMidiMsg(0x90, 60, 1));
}
