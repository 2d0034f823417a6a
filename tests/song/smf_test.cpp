#include "song/smf.h"

#include "devices/midimsg.h"
#include "platform/core/ini.h"
#include "song/primitives.h"
#include "song/songfile.h"
#include "song_fixture.h"
#include "song_invariants.h"
#include "songdump/dump.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes VarLen(std::uint32_t N) {
    Bytes b{static_cast<std::uint8_t>(N & 0x7F)};
    while (N >>= 7)
        b.insert(b.begin(), static_cast<std::uint8_t>((N & 0x7F) | 0x80));
    return b;
}

Bytes Be(std::uint32_t N, int Width) {
    Bytes b;
    for (int i = Width - 1; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(N >> (8 * i)));
    return b;
}

void Add(Bytes& To, const Bytes& From) {
    To.insert(To.end(), From.begin(), From.end());
}

// A track chunk from events written as delta, then the raw bytes of the event.
struct Ev {
    std::uint32_t Delta;
    Bytes Raw;
};

Bytes Chunk(std::initializer_list<Ev> Events, bool EndOfTrack = true) {
    Bytes body;
    for (const Ev& e : Events) {
        Add(body, VarLen(e.Delta));
        Add(body, e.Raw);
    }
    if (EndOfTrack) Add(body, {0, 0xFF, 0x2F, 0});
    Bytes c{'M', 'T', 'r', 'k'};
    Add(c, Be(static_cast<std::uint32_t>(body.size()), 4));
    Add(c, body);
    return c;
}

Bytes Smf(int Format, int Division, std::initializer_list<Bytes> Chunks) {
    Bytes f{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    Add(f, Be(static_cast<std::uint32_t>(Format), 2));
    Add(f, Be(static_cast<std::uint32_t>(Chunks.size()), 2));
    Add(f, Be(static_cast<std::uint32_t>(Division), 2));
    for (const Bytes& c : Chunks)
        Add(f, c);
    return f;
}

Bytes Tempo(std::uint32_t Us) {
    Bytes b{0xFF, 0x51, 0x03};
    Add(b, Be(Us, 3));
    return b;
}

Bytes Meta(std::uint8_t Type, std::string_view Text) {
    Bytes b{0xFF, Type};
    Add(b, VarLen(static_cast<std::uint32_t>(Text.size())));
    b.insert(b.end(), Text.begin(), Text.end());
    return b;
}

class SmfTest : public SongTest {
protected:
    std::string Write(const Bytes& B, std::string_view Name = "in.mid") {
        return dir.WriteFile(Name, std::string(B.begin(), B.end()));
    }
    std::string Events() const { return DumpEvents(*Song); }

    TempDir dir;
};

TEST_F(SmfTest, FormatOneTakesTracksFromTheFirstChunkWithEvents) {
    std::string path = Write(Smf(1, 240,
                                 {Chunk({{0, Tempo(400000)}, {0, {0xFF, 0x58, 4, 3, 2, 24, 8}}}),
                                  Chunk({{0, Meta(0x03, "Lead")},
                                         {10, {0x92, 60, 100}},
                                         {100, Meta(0x05, "la")}, // a lyric between the notes
                                         {20, {60, 0}},           // running status
                                         {0, {0x82, 62, 55}}}),
                                  Chunk({{0, {0xB0, 7, 99}}, {5, {0xB1, 10, 1}}})}));
    EXPECT_TRUE(ReadSmfSong(path));
    EXPECT_EQ(midi.Tempo, 150);
    EXPECT_EQ(Song->BeatsPerBar, 3);
    EXPECT_EQ(Events(), "0 0 10 92 60 100\n"
                        "0 0 130 92 60 0\n"
                        "0 0 130 82 62 0\n" // a note off's velocity is not kept
                        "1 0 0 B0 7 99\n"
                        "1 0 5 B1 10 1\n");
    EXPECT_EQ(Song->Tracks[0]->Name, "Lead");
    EXPECT_EQ(Song->Tracks[0]->Parts->Name, "Lead");
    EXPECT_EQ(Song->Tracks[0]->Parts->Length, 720);
    EXPECT_EQ(Song->Tracks[0]->Channel, 2); // all its events share channel 3
    EXPECT_EQ(Song->Tracks[1]->Channel, -1);
    EXPECT_EQ(Song->Tracks[2]->Channel, -1);
    EXPECT_EQ(Song->FileName, "in.mid");
    EXPECT_EQ(Song->Folder, dir.Path());
    EXPECT_EQ(Song->IsMidiFile, 1);
    EXPECT_EQ(Song->Untitled, 0);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(SmfTest, FormatZeroGoesByChannel) {
    std::string path = Write(Smf(0, 240,
                                 {Chunk({{0, Meta(0x03, "All")},
                                         {0, {0x90, 60, 100}},
                                         {4000, {0x99, 36, 90}}, // far later: still one part
                                         {10, {0x80, 60, 0}},
                                         {0, {0x89, 36, 0}},
                                         {0, {0xF0, 2, 0x7E, 0xF7}}})}));
    EXPECT_TRUE(ReadSmfSong(path));
    EXPECT_EQ(Events(), "0 0 0 90 60 100\n"
                        "0 0 4010 80 60 0\n"
                        "0 0 4010 F0 0 0\n"
                        "9 0 4000 99 36 90\n"
                        "9 0 4010 89 36 0\n");
    EXPECT_EQ(Song->Tracks[0]->Channel, 0);
    EXPECT_EQ(Song->Tracks[9]->Channel, 9);
    EXPECT_EQ(Song->Tracks[0]->Name, "All");
    EXPECT_EQ(Song->Tracks[0]->Parts->Next, nullptr);
    const _TEvent* sx = Song->Tracks[0]->Parts->Events->Next->Next;
    ASSERT_EQ(sx->DataLen, 3);
    EXPECT_EQ(EventBlock(*sx)[0], 0xF0);
    EXPECT_EQ(EventBlock(*sx)[2], 0xF7);
}

TEST_F(SmfTest, SilenceOfMoreThanABarStartsAPartOnTheBarLine) {
    // Bars of 960 at division 240, of 1920 at 480: the same music at both divisions.
    for (int div : {240, 480, 96}) {
        auto t = [div](std::uint32_t ticks) { return ticks * div / 240; };
        std::string path = Write(Smf(1, div,
                                     {Chunk({{0, {0x90, 60, 100}},
                                             {t(2000), {0x80, 60, 0}}, // held: no split
                                             {t(1000), {0x90, 62, 100}},
                                             {t(100), {0x80, 62, 0}},
                                             {t(2000), {0xB0, 1, 5}}})}));
        ASSERT_TRUE(ReadSmfSong(path)) << div;
        EXPECT_EQ(Events(), "0 0 0 90 60 100\n"
                            "0 0 2000 80 60 0\n"
                            "0 0 3000 90 62 100\n"
                            "0 0 3100 80 62 0\n"
                            "0 4800 5100 B0 1 5\n")
            << div;
        EXPECT_EQ(Song->Tracks[0]->Parts->Length, 3840) << div;
        EXPECT_EQ(Song->Tracks[0]->Parts->Next->Length, 960) << div;
        EXPECT_TRUE(CheckSongInvariants(*Song)) << div;
    }
}

TEST_F(SmfTest, OddDivisionsRoundHalvesToEven) {
    // 480: 1 -> 0.5 -> 0, 3 -> 1.5 -> 2, 5 -> 2.5 -> 2.
    std::string path =
        Write(Smf(1, 480, {Chunk({{1, {0xB0, 1, 1}}, {2, {0xB0, 1, 2}}, {2, {0xB0, 1, 3}}})}));
    ASSERT_TRUE(ReadSmfSong(path));
    EXPECT_EQ(Events(), "0 0 0 B0 1 1\n0 0 2 B0 1 2\n0 0 2 B0 1 3\n");
}

TEST_F(SmfTest, OddValuesGiveDefinedResults) {
    std::string path = Write(Smf(1, 240,
                                 {Chunk({{0, Tempo(0)},
                                         {0, {0xFF, 0x58, 4, 0, 2, 24, 8}},
                                         {0, {0xFF, 0x20, 1, 16}}, // no such channel
                                         {0, {0xFF, 0x21, 1, 200}},
                                         {0, {0xF3, 0x01, 0x05}}, // skipped with its count
                                         {5, {0xC0, 5}},
                                         {0, {0x90, 0xC0, 0xFF}}})})); // data above 127
    midi.Tempo = 97;
    ASSERT_TRUE(ReadSmfSong(path));
    EXPECT_EQ(midi.Tempo, 97);
    EXPECT_EQ(Song->BeatsPerBar, 4);
    EXPECT_EQ(Song->Tracks[0]->Channel, 0); // from its events, the prefix was ignored
    EXPECT_EQ(Song->Tracks[0]->Output, 0);
    EXPECT_EQ(Events(), "0 0 5 C0 5 0\n0 0 5 90 64 127\n");
}

struct Broken {
    const char* Name;
    Bytes File;
    const char* Text;
    const char* Caption;
    unsigned Icon;
    const char* Kept; // events of what was read, or nullptr when the old song stays
};

TEST_F(SmfTest, BrokenFilesAreRefusedAndWhatWasReadIsKept) {
    Bytes noEnd = Smf(1, 480, {Chunk({{0, {0x90, 60, 1}}, {4, {0x80, 60, 0}}}, false)});
    Bytes cutOff = Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}})});
    cutOff.resize(cutOff.size() - 4); // the file ends where the end of track would be
    Bytes tooLong = Smf(1, 240, {Chunk({{0, {0xF0, 0x7F, 1}}})});
    Bytes smpte = Smf(1, 0xE728, {Chunk({{0, {0x90, 60, 1}}})});
    const Broken cases[] = {
        {"magic",
         {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96},
         "This is not a standard MIDI file",
         "Error",
         platform::MB_ICONERROR,
         nullptr},
        {"short header",
         {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1},
         "This is not a standard MIDI file",
         "Error",
         platform::MB_ICONERROR,
         nullptr},
        {"division 0", Smf(1, 0, {Chunk({{0, {0x90, 60, 1}}})}), "This is not a standard MIDI file",
         "Error", platform::MB_ICONERROR, nullptr},
        {"time code", smpte, "This is not a standard MIDI file", "Error", platform::MB_ICONERROR,
         nullptr},
        {"no end of track", noEnd, "Invalid file format (2)", "File error", platform::MB_ICONERROR,
         "0 0 0 90 60 1\n0 0 2 80 60 0\n"},
        {"cut off", cutOff, "Invalid file format (2)", "File error", platform::MB_ICONERROR,
         "0 0 0 90 60 1\n"},
        {"sysex beyond the chunk", tooLong, "Invalid file format (2)", "File error",
         platform::MB_ICONERROR, ""},
        {"status F8", Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}, {0, {0xF8}}})}),
         "Invalid file format (3)", "File error", platform::MB_ICONERROR, "0 0 0 90 60 1\n"},
        {"data before any status", Smf(1, 240, {Chunk({{0, {60, 1}}})}), "Invalid file format (3)",
         "File error", platform::MB_ICONERROR, ""},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.Name);
        Song->Clear();
        InsertPart(Song->Tracks[5].get(), NewPart("old", 0, 960, 5));
        AppendEvent(Song->Tracks[5]->Parts, NewEvent(0, PackMidiMsg(0x90, 1, 1)));
        Song->Untitled = 0;
        Song->IsMidiFile = 1;
        ScriptedDialogs dialogs;
        dialogs.Answer(platform::IDOK, c.Text);
        EXPECT_FALSE(ReadSmfSong(Write(c.File)));
        auto boxes = dialogs.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, c.Text);
        EXPECT_EQ(boxes[0].Caption, c.Caption);
        EXPECT_EQ(boxes[0].Icon, c.Icon);
        if (!c.Kept) {
            EXPECT_EQ(Events(), "5 0 0 90 1 1\n"); // nothing changed
            EXPECT_EQ(Song->IsMidiFile, 1);
            continue;
        }
        EXPECT_EQ(Events(), c.Kept);
        // The song read in part can only be saved under a new name.
        EXPECT_EQ(Song->Untitled, 1);
        EXPECT_EQ(Song->IsMidiFile, 0);
        EXPECT_TRUE(CheckSongInvariants(*Song));
    }
}

TEST_F(SmfTest, MoreThan128TracksStopWithAMessage) {
    Bytes f = Smf(1, 240, {});
    for (int i = 0; i < 129; ++i)
        Add(f, Chunk({{0, {0x90, static_cast<std::uint8_t>(i % 128), 1}}}));
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK);
    EXPECT_FALSE(ReadSmfSong(Write(f)));
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].Text,
              "Only 128 tracks supported. Could not open all tracks in file");
    EXPECT_EQ(dialogs.Boxes()[0].Caption, "Open song");
    EXPECT_EQ(dialogs.Boxes()[0].Icon, platform::MB_ICONINFORMATION);
    ASSERT_NE(Song->Tracks[127]->Parts, nullptr);
    EXPECT_EQ(MidiData1(Song->Tracks[127]->Parts->Events->Msg), 127);

    // Exactly 128 tracks is no reason to complain.
    f = Smf(1, 240, {});
    for (int i = 0; i < 128; ++i)
        Add(f, Chunk({{0, {0x90, 1, 1}}}));
    EXPECT_TRUE(ReadSmfSong(Write(f)));
}

TEST_F(SmfTest, SaveAfterAFailedReadNeverReplacesTheFile) {
    Bytes good = Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}, {10, {0x80, 60, 0}}})});
    std::string path = Write(good, "song.mid");
    ASSERT_TRUE(ReadSmfSong(path));
    Bytes bad = Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}})});
    bad.resize(bad.size() - 4);
    Write(bad, "song.mid");
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "Invalid file format (2)");
    ASSERT_FALSE(ReadSmfSong(path));
    EXPECT_FALSE(SaveSong()); // goes to Save As, which the headless host declines
    EXPECT_EQ(dir.ReadFile("song.mid"), std::string(bad.begin(), bad.end()));
    EXPECT_EQ(dir.ReadFile("song.seq"), "");
    // A later good read saves as a MIDI file again.
    Write(good, "song.mid");
    ASSERT_TRUE(ReadSmfSong(path));
    EXPECT_TRUE(SaveSong());
    EXPECT_EQ(Song->FileName, "song.mid");
    EXPECT_EQ(dir.ReadFile("song.seq"), "");
}

TEST_F(SmfTest, ImportFillsTheCurrentTrackAndTheEmptyTracksAfterIt) {
    Song->CurrentTrackIndex = 2;
    InsertPart(Song->Tracks[3].get(), NewPart("busy", 0, 960, 3));
    Song->Tracks[4]->Mode = tmParameter;
    Song->Tracks[5]->Mode = tmAudio;
    midi.Tempo = 100;
    std::string path = Write(
        Smf(1, 480,
            {Chunk({{0, Tempo(250000)}}), Chunk({{0, Meta(0x03, "One")}, {20, {0x91, 60, 100}}}),
             Chunk({{0, {0x90, 20, 100}}, // below the first sample slot
                    {0, {0x90, 36, 90}},
                    {0, {0xB0, 7, 100}}, // dropped in an audio track
                    {4, {0x90, 36, 0}},
                    {0, {0x80, 20, 0}}})}));
    EXPECT_TRUE(ImportSmfTrack(path));
    EXPECT_EQ(midi.Tempo, 100);
    EXPECT_EQ(Song->Tracks[2]->Name, "One");
    EXPECT_EQ(Events(), "2 0 10 91 60 100\n"
                        "5 0 0 20 12 90\n"
                        "5 0 2 30 12 0\n");
    EXPECT_EQ(MidiByte3(Song->Tracks[5]->Parts->Events->Msg), 63u);
    EXPECT_NE(Song->Tracks[2]->Parts->Flags & pfRedraw, 0u);
    EXPECT_EQ(Song->Tracks[3]->Parts->Flags & pfRedraw, 0u);
    EXPECT_EQ(Song->IsMidiFile, 0);
    EXPECT_EQ(Song->FileName, "Undefined.seq");
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(SmfTest, ImportOfFormatZeroGoesIntoTheCurrentTracksFirstPart) {
    Song->CurrentTrackIndex = 1;
    _TPart* p = NewPart("old", 960, 960, 1);
    InsertPart(Song->Tracks[1].get(), p);
    AppendEvent(p, NewEvent(0, PackMidiMsg(0x90, 1, 1)));
    AppendEvent(p, NewEvent(10, PackMidiMsg(0x80, 1, 0)));
    _TPart* later = NewPart("later", 3840, 960, 1);
    InsertPart(Song->Tracks[1].get(), later);
    AppendEvent(later, NewEvent(0, PackMidiMsg(0x90, 2, 2)));
    std::string path = Write(Smf(0, 240,
                                 {Chunk({{0, {0x93, 60, 100}},
                                         {970, {0x93, 61, 100}},
                                         {3000, {0x84, 60, 0}},
                                         {3000, {0x84, 61, 0}}})}));
    EXPECT_TRUE(ImportSmfTrack(path));
    // Into the existing part, which grows by bars up to the next part; what lies beyond goes
    // to that part. The channels stay the events' own.
    EXPECT_EQ(Events(), "1 960 960 90 1 1\n"
                        "1 960 960 93 60 100\n" // before the part: on its start
                        "1 960 970 80 1 0\n"
                        "1 960 970 93 61 100\n" // after what the part held at that time
                        "1 3840 3840 90 2 2\n"
                        "1 3840 3970 84 60 0\n"
                        "1 3840 6970 84 61 0\n");
    EXPECT_EQ(Song->Tracks[1]->Parts->Length, 2880);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

// Every event as "track tick status data1 data2", without the part it lies in.
std::vector<std::string> TrackTimeMessage(const std::string& Dump) {
    std::vector<std::string> out;
    std::istringstream in(Dump);
    for (std::string l; std::getline(in, l);) {
        std::size_t a = l.find(' '), b = l.find(' ', a + 1);
        out.push_back(l.substr(0, a) + l.substr(b));
    }
    return out;
}

_TPart* AddPart(int Track, int Start, std::initializer_list<std::pair<int, std::uint32_t>> Events) {
    _TPart* p = NewPart("p", Start, BarTicks(), Track);
    EXPECT_TRUE(InsertPart(Song->Tracks[Track].get(), p));
    for (auto [delta, msg] : Events)
        AppendEvent(p, NewEvent(delta, msg));
    p->Last = nullptr;
    return p;
}

TEST_F(SmfTest, WritesFormatOneWithRunningStatusAndSevenBitData) {
    midi.Tempo = 120;
    _TTrack& t0 = *Song->Tracks[0];
    t0.Mode = tmMidi;
    t0.Name = "Bass";
    t0.Output = 2;
    t0.Channel = 1;
    t0.Volume = 100;
    t0.Pan = 64;
    t0.Program = 5;
    _TPart* p1 = AddPart(0, 960,
                         {{0, PackMidiMsg(0x90, 60, 100)},
                          {10, PackMidiMsg(0x80, 60, 0)},
                          {5, PackMidiMsg(0x80, 61, 0x85)},
                          {5, PackMidiMsg(msAweParam + 3, 5, 0x90) + (0x81u << 24)}});
    _TEvent* value = NewEvent(5, PackMidiMsg(msSysex, 1, 0));
    SetEventValue(*value, 0x81828384);
    AppendEvent(p1, value);
    AppendEvent(p1, NewEvent(5, PackMidiMsg(msSampleOn, 3, 100)));
    _TEvent* sx = NewEvent(5, PackMidiMsg(msSysex, 0, 0));
    const std::uint8_t block[] = {0xF0, 0x43, 0xF7};
    SetEventBlock(*sx, block, 3);
    AppendEvent(p1, sx);
    AppendEvent(p1, NewEvent(5, PackMidiMsg(0xB0, 7, 1)));
    p1->Last = nullptr;
    AddPart(0, 1920, {{0, PackMidiMsg(0xE0, 0, 64)}});
    // An event beyond its part's end, past the next part's start: no delta goes back.
    _TEvent* late = p1->Events;
    while (late->Next)
        late = late->Next;
    late->Next = NewEvent(965, PackMidiMsg(0xB0, 1, 2));
    p1->EndTime += 965;
    Song->Tracks[1]->Mode = tmAudio;
    AddPart(1, 0, {{0, PackMidiMsg(msSampleOn, 1, 1)}});
    _TTrack& t2 = *Song->Tracks[2];
    t2.Mode = tmSoftsynth;
    t2.Name = "Synth";
    t2.Output = 0;
    t2.Channel = -1;
    AddPart(2, 0, {{0, PackMidiMsg(0x93, 60, 1)}});
    Song->Modified = 1;

    ASSERT_TRUE(WriteSmfFile(dir.Path() + "out.seq"));
    const std::string text = "Tolvern - MIDI/Audio/Softsynth sequencer for Windows";
    Bytes want =
        Smf(1, 240,
            {Chunk({{0, Tempo(500000)}, {0, {0xFF, 0x58, 4, 4, 2, 0, 0}}, {0, Meta(0x01, text)}}),
             Chunk({{0, Meta(0x03, "Bass")},
                    {0, {0xFF, 0x21, 1, 2}},
                    {0, {0xFF, 0x20, 1, 1}},
                    {0, {0xB1, 7, 100}},
                    {0, {0xB1, 10, 64}},
                    {0, {0xB1, 0, 0}},
                    {0, {0xC1, 5}},
                    {960, {0x91, 60, 100}},
                    {10, {0x81, 60, 0}},
                    {5, {61, 5}},
                    {5, {0xB1, 99, 127}},
                    {0, {98, 5}},
                    {0, {6, 0x10}},
                    {0, {38, 1}},
                    {5, {99, 0x04}},
                    {0, {98, 0x03}},
                    {0, {6, 0x02}},
                    {0, {38, 0x01}},
                    {10, {0xF0, 2, 0x43, 0xF7}},
                    {5, {0xB1, 7, 1}},
                    {965, {1, 2}},
                    {0, {0xE1, 0, 64}}}),
             Chunk({{0, Meta(0x03, "Synth")}, {0, {0xFF, 0x21, 1, 0}}, {0, {0x93, 60, 1}}})});
    std::string got = dir.ReadFile("out.mid");
    EXPECT_EQ(Bytes(got.begin(), got.end()), want);
    EXPECT_EQ(dir.ReadFile("out.seq"), "");
    EXPECT_EQ(Song->FileName, "out.mid");
    EXPECT_EQ(Song->IsMidiFile, 1);
    EXPECT_EQ(Song->Modified, 0);
    EXPECT_EQ(Song->Untitled, 0);
    EXPECT_EQ(platform::TIniFile("tolvern.ini").ReadString("Autoload", "Song", ""),
              dir.Path() + "out.mid");
}

TEST_F(SmfTest, ExportThenImportKeepsEveryEvent) {
    for (int i = 0; i < TrackCount; ++i) {
        Song->Tracks[i]->Mode = tmMidi;
        Song->Tracks[i]->Channel = -1;
    }
    AddPart(0, 0,
            {{0, PackMidiMsg(0x90, 60, 100)},
             {100, PackMidiMsg(0x80, 60, 0)},
             {20, PackMidiMsg(0xE0, 1, 64)},
             {0, PackMidiMsg(0xC0, 9, 0)}});
    AddPart(0, 3840, {{30, PackMidiMsg(0x91, 62, 1)}, {0, PackMidiMsg(0x91, 62, 0)}});
    AddPart(1, 960, {{0, PackMidiMsg(0xB5, 7, 1)}, {959, PackMidiMsg(0xD5, 3, 0)}});
    _TPart* p = AddPart(2, 1920, {{5, PackMidiMsg(0xA2, 1, 2)}});
    _TEvent* sx = NewEvent(5, PackMidiMsg(msSysex, 0, 0));
    const std::uint8_t block[] = {0xF0, 0x41, 0x10, 0xF7};
    SetEventBlock(*sx, block, 4);
    AppendEvent(p, sx);
    std::string before = Events();
    ASSERT_TRUE(WriteSmfFile(dir.Path() + "rt.mid"));
    ASSERT_TRUE(ReadSmfSong(dir.Path() + "rt.mid"));
    EXPECT_EQ(TrackTimeMessage(Events()), TrackTimeMessage(before));
    ASSERT_EQ(Song->Tracks[2]->Parts->Events->Next->DataLen, 4);
    EXPECT_EQ(EventBlock(*Song->Tracks[2]->Parts->Events->Next)[1], 0x41);

    // Set-up fields come back as events, the written tracks as tracks 0, 1, ...
    Song->Clear();
    for (int i = 0; i < TrackCount; ++i)
        Song->Tracks[i]->Mode = tmMidi;
    Song->Tracks[5]->Channel = 3;
    Song->Tracks[5]->Volume = 90;
    Song->Tracks[5]->Program = 7;
    AddPart(5, 960, {{10, PackMidiMsg(0x93, 60, 100)}, {10, PackMidiMsg(0x83, 60, 0)}});
    ASSERT_TRUE(WriteSmfFile(dir.Path() + "rt.mid"));
    ASSERT_TRUE(ReadSmfSong(dir.Path() + "rt.mid"));
    EXPECT_EQ(Events(), "0 0 0 B3 7 90\n0 0 0 B3 0 0\n0 0 0 C3 7 0\n"
                        "0 0 970 93 60 100\n0 0 980 83 60 0\n");
    EXPECT_EQ(Song->Tracks[0]->Channel, 3);
}

// Bytes held in memory read as the file of them does: the same song, result and messages, as a
// whole song and as an import.
TEST_F(SmfTest, BytesReadAsTheFileOfThemWould) {
    Bytes cutOff = Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}, {7, {0x80, 60, 0}}})});
    cutOff.resize(cutOff.size() - 4);
    const Bytes cases[] = {
        Smf(1, 480,
            {Chunk({{0, Tempo(250000)}}), Chunk({{0, Meta(0x03, "One")}, {20, {0x91, 60, 100}}}),
             Chunk({{0, {0xF0, 3, 0x41, 0x10, 0xF7}}, {4, {0xC2, 5}}})}),
        Smf(0, 96, {Chunk({{0, {0x90, 60, 1}}, {9, {0x95, 61, 2}}, {400, {0x80, 60, 0}}})}),
        cutOff,
        Smf(1, 240, {Chunk({{0, {0x90, 60, 1}}, {0, {0xF8}}})}),
        {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96},
        {'M', 'T', 'h', 'd'},
        {},
    };
    struct TOutcome {
        bool Result;
        std::string Song, Folder, FileName;
        int Untitled, IsMidiFile;
        std::vector<std::string> Boxes;
        bool operator==(const TOutcome&) const = default;
    };
    auto outcome = [&](const std::function<bool()>& Read) {
        Song->Clear();
        Song->CurrentTrackIndex = 1;
        InsertPart(Song->Tracks[2].get(), NewPart("old", 0, 960, 2));
        AppendEvent(Song->Tracks[2]->Parts, NewEvent(0, PackMidiMsg(0x90, 1, 1)));
        ScriptedDialogs dialogs;
        dialogs.AllowUnexpectedBoxes();
        TOutcome o;
        o.Result = Read();
        o.Song = Events();
        o.Folder = Song->Folder;
        o.FileName = Song->FileName;
        o.Untitled = Song->Untitled;
        o.IsMidiFile = Song->IsMidiFile;
        for (const auto& box : dialogs.Boxes())
            o.Boxes.push_back(box.Text);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        return o;
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const Bytes& b = cases[i];
        const std::string path = Write(b, "case.mid");
        const TOutcome file = outcome([&] { return ReadSmfSong(path); });
        EXPECT_EQ(outcome([&] { return ReadSmfSongBytes(path, b.data(), b.size()); }), file);
        const TOutcome import = outcome([&] { return ImportSmfTrack(path); });
        EXPECT_EQ(outcome([&] { return ImportSmfTrackBytes(b.data(), b.size()); }), import);
        if (i == 0) {
            EXPECT_TRUE(file.Result);
            EXPECT_TRUE(import.Result);
            EXPECT_NE(import.Song, file.Song); // the import keeps the old part
        }
    }
}

TEST_F(SmfTest, SmfBytesAreWhatASaveWritesAndLeaveTheSongAsItIs) {
    Song->Tracks[0]->Mode = tmMidi;
    Song->Tracks[3]->Mode = tmMidi;
    AddPart(0, 960, {{0, PackMidiMsg(0x90, 60, 100)}, {10, PackMidiMsg(0x80, 60, 0)}});
    AddPart(3, 0, {{7, PackMidiMsg(0xC2, 5, 0)}});
    Song->Modified = 1;
    const std::string name = Song->FileName;
    const std::string bytes = SmfBytes();
    EXPECT_EQ(Song->Modified, 1);
    EXPECT_EQ(Song->FileName, name);
    ASSERT_TRUE(WriteSmfFile(dir.Path() + "b.mid"));
    EXPECT_EQ(dir.ReadFile("b.mid"), bytes);
    ASSERT_TRUE(ReadSmfSongBytes("b.mid", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 bytes.size()));
    // The set-up message of each track, then its events on the track's channel.
    EXPECT_EQ(Events(), "0 0 0 B0 0 0\n0 0 960 90 60 100\n0 0 970 80 60 0\n"
                        "1 0 0 B3 0 0\n1 0 7 C3 5 0\n");
}

TEST(SmfName, SeqBecomesMid) {
    EXPECT_EQ(SmfFileTarget("/a/b/song.seq"), "/a/b/song.mid");
    EXPECT_EQ(SmfFileTarget("/a/b/song.seq.bak"), "/a/b/song.mid");
    EXPECT_EQ(SmfFileTarget("/a/b/SONG.MID"), "/a/b/SONG.MID");
    EXPECT_EQ(SmfFileTarget("/a.seq/b/tune"), "/a.seq/b/tune.mid");
}

} // namespace
