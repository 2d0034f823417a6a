#include "song/keyb.h"

#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/song.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

using namespace platform;

TEST(KeyToNoteTest, RowsOfThePianoAndKeysOutsideIt) {
    struct {
        int Key, Base, Note;
    } cases[] = {
        {'Z', 48, 48}, {'S', 48, 49}, {'M', 48, 59}, {'Q', 48, 60},   {'2', 48, 61},
        {'U', 48, 71}, {'I', 48, 72}, {'P', 48, 76}, {'P', 120, 127}, {'A', 48, 0},
        {'1', 48, 0},  {'z', 48, 0},  {0, 48, 0},    {0x15A, 48, 0},
    };
    for (auto& c : cases)
        EXPECT_EQ(KeyToNote(c.Key, c.Base), c.Note) << c.Key << " over " << c.Base;
}

TEST(KeybTest, ReleaseAllEndsHeldNotesOnTheCurrentTrack) {
    SetMidiRealPorts(false);
    TempSettings settings;
    {
        TVirtualMidiOut first("First"), second("Second");
        Song = new TSong;
        Midi = new TMIDI(TMidiSetup::Devices);
        TKeyb keyb;
        Song->CurrentTrackIndex = 3;
        Song->Tracks[3]->Output = 1;
        Song->Tracks[3]->Channel = 2;
        keyb.Down[60] = keyb.Down[64] = true;
        keyb.ReleaseAll();
        // A track that keeps each event's own channel plays the keyboard on the first.
        Song->Tracks[3]->Channel = -1;
        keyb.Down[127] = true;
        keyb.ReleaseAll();
        std::vector<std::vector<std::uint8_t>> sent;
        for (auto& s : second.Sent())
            sent.push_back(s.Bytes);
        EXPECT_EQ(sent, (std::vector<std::vector<std::uint8_t>>{
                            {0x92, 60, 0}, {0x92, 64, 0}, {0x90, 127, 0}}));
        EXPECT_TRUE(first.Sent().empty());
        EXPECT_EQ(keyb.Down, (std::array<bool, 128>{}));
        keyb.Down.fill(true);
        keyb.Clear();
        EXPECT_EQ(keyb.Down, (std::array<bool, 128>{}));
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
    }
    SetMidiRealPorts(true);
}
