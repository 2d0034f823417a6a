// Messages sent to a track's instrument: a MIDI track's port, a softsynth's plug-in, nothing
// for the other kinds; the controller 123 of the editing commands takes the same road.

#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/trackout.h"
#include "song/undo.h"
#include "song_fixture.h"
#include "support/recording_synths.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TrackOutTest : public SongTest {
protected:
    // (port, message) of what went out since the last look.
    std::vector<std::pair<int, std::uint32_t>> TakeSent() {
        std::vector<std::pair<int, std::uint32_t>> out;
        for (const TMidiSent& s : midi.Sent)
            out.emplace_back(s.Port, s.Msg);
        midi.Sent.clear();
        return out;
    }
    // The live events the softsynth's plug-in was handed since the last look.
    std::vector<std::uint32_t> TakeLive(TSoftItem& Item) {
        std::vector<std::uint32_t> out;
        TRTEvent e;
        while (Item.Plugin->Events.Pop(e))
            out.push_back(e.Value);
        return out;
    }
    _TTrack* Track(int I) { return Song->Tracks[I].get(); }
    RecordingVst vst;
};

TEST_F(TrackOutTest, MidiTracksSendToTheirPortOnTheirChannel) {
    Track(0)->Mode = Track(1)->Mode = tmMidi;
    Track(0)->Output = 3;
    Track(0)->Channel = -1;
    SendOnTrackChannel(Track(0), PackMidiMsg(0xB5, 7, 100));
    Track(1)->Output = 1;
    Track(1)->Channel = 9;
    SendOnTrackChannel(Track(1), PackMidiMsg(0xC0, 5, 0), tsQueued);
    SendToTrack(Track(1), PackAweParam(2, 4, 0)); // the sound card's own message
    TrackAllNotesOff(Track(1));
    const std::vector<std::pair<int, std::uint32_t>> want{{3, PackMidiMsg(0xB0, 7, 100)},
                                                          {1, PackMidiMsg(0xC9, 5, 0)},
                                                          {1, PackAweParam(2, 4, 0)},
                                                          {1, PackMidiMsg(0xB9, 123, 0)},
                                                          {1, PackMidiMsg(0xB9, 120, 0)}};
    EXPECT_EQ(TakeSent(), want);
}

TEST_F(TrackOutTest, SoftsynthTracksReachTheirPluginAndNoPort) {
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item && item->Plugin->Loaded);
    Track(0)->Mode = tmSoftsynth;
    Track(0)->Output = 0;
    Track(0)->Channel = 4;
    SendOnTrackChannel(Track(0), PackMidiMsg(0x90, 60, 100));
    SendToTrack(Track(0), PackAweParam(4, 1, 0));               // MIDI tracks only
    SendToTrack(Track(0), PackMidiMsg(0xB4, 0, 1), tsMidiOnly); // the sound card's bank
    TrackAllNotesOff(Track(0));
    EXPECT_EQ(TakeLive(*item),
              (std::vector<std::uint32_t>{PackMidiMsg(0x94, 60, 100), PackMidiMsg(0xB4, 123, 0),
                                          PackMidiMsg(0xB4, 120, 0)}));
    // A track naming no loaded softsynth sends nowhere.
    Track(0)->Output = 5;
    TrackAllNotesOff(Track(0));
    EXPECT_TRUE(TakeSent().empty());
}

TEST_F(TrackOutTest, AudioParameterAndDiskTracksSendNothing) {
    for (int mode : {tmAudio, tmParameter, tmDisk}) {
        Track(0)->Mode = mode;
        SendOnTrackChannel(Track(0), PackMidiMsg(0x90, 60, 100));
        TrackAllNotesOff(Track(0));
        SendPartController(Track(0), nullptr, 123, 0);
        EXPECT_TRUE(TakeSent().empty()) << "mode " << mode;
    }
}

// The controller 123 after a move of a softsynth part and the reset after a deleted controller:
// the plug-in hears them, port 0 (the number the track's output shares with the softsynth)
// stays silent.
TEST_F(TrackOutTest, PartControllersOfSoftsynthTracksGoToThePlugin) {
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    Track(2)->Mode = tmSoftsynth;
    Track(2)->Output = 0;
    Track(2)->Channel = -1;
    _TPart* p = NewPart("Synth", 0, 960, 2);
    AppendEvent(p, NewEvent(0, PackMidiMsg(0x93, 60, 100)));
    AppendEvent(p, NewEvent(10, PackMidiMsg(0x86, 60, 0)));
    ASSERT_TRUE(InsertPart(Track(2), p));
    p->Flags |= pfSelected;
    Song->State = 2;
    ASSERT_FALSE(Song->MoveSelectedParts(0, 960)); // nothing went back
    Song->State = 0;
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(TakeLive(*item),
              (std::vector<std::uint32_t>{PackMidiMsg(0xB3, 123, 0), PackMidiMsg(0xB6, 123, 0)}));
    // Deleting its volume controller resets the volume there too.
    AppendEvent(p, NewEvent(5, PackMidiMsg(0xB3, 7, 64)));
    Song->DeleteControllersSelectedParts(7);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(TakeLive(*item), std::vector<std::uint32_t>{PackMidiMsg(0xB3, 7, 127)});
}

} // namespace
