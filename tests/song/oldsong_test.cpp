#include "song/songfile_old.h"

#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "oldsong_writer.h"
#include "platform/core/dynlib.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/songfile.h"
#include "song/songreaders.h"
#include "song_fixture.h"
#include "songdump/dump.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace oldsong;

namespace {

class TempoHost : public TSongFileHost {
public:
    std::vector<std::string> Tempo;
    std::vector<std::string> TempoLines() override { return Tempo; }
    void AppendTempoLine(std::string_view Line) override { Tempo.emplace_back(Line); }
    void ClearSongLists() override {
        TSongFileHost::ClearSongLists();
        Tempo.clear();
    }
    std::vector<std::string> AreaTexts() {
        std::vector<std::string> texts;
        for (const TSongArea& a : Areas())
            texts.push_back(a.Name + " " + std::to_string(a.Left) + " " + std::to_string(a.Right));
        return texts;
    }
};

// The sound-card window: whether it exists, and what the reader set in it.
class AweWindow : public TMidiEditorsSeam {
public:
    bool Exists = false;
    std::vector<std::pair<int, int>> Lists;
    std::vector<bool> TakeFromCard;
    bool AweWindowExists() override { return Exists; }
    void SetAweListIndex(int List, int Index) override { Lists.emplace_back(List, Index); }
    void SetAweTakeFromCard(bool Take) override { TakeFromCard.push_back(Take); }
};

// The song as text without its folder, split into its head and one block per track.
struct SongText {
    std::string Head;
    std::vector<std::string> Tracks; // 128
    std::string Tail;

    explicit SongText(const TSong& S) {
        std::istringstream in(DumpSong(S));
        std::string* into = &Head;
        for (std::string l; std::getline(in, l);) {
            if (l.rfind("  folder ", 0) == 0) continue;
            if (l.rfind("track ", 0) == 0) {
                Tracks.emplace_back();
                into = &Tracks.back();
            } else if (!Tracks.empty() && l.rfind("  ", 0) != 0) {
                into = &Tail;
            }
            *into += l + "\n";
        }
    }
};

std::string EventLine(std::int64_t Tick, std::uint32_t Msg) {
    return "    " + std::to_string(Tick) + " " + DecodeMessage(Msg) + "\n";
}

// What the fixture's first two tracks read to in version V.
std::string PianoText(int V) {
    std::string t = "track 1 \"Piano\" mode 0 channel 3 output 1\n  program 5\n";
    if (V >= V02) t += "  bank 2\n  volume 100\n  pan 64\n";
    if (V >= V3205) t += "  reverb 40\n  chorus 10\n";
    if (V >= V3209) t += "  fx 7\n";
    if (V >= V3207) t += "  layout 4096\n";
    if (V >= V02) t += "  transpose -12\n";
    if (V >= V01) t += "  mute 1\n";
    if (V >= V3207) t += "  userfile \"my.ins\"\n";
    t += "  part \"Intro\" start 0 length 960 endtime " + std::string(V >= V3204 ? "130" : "120");
    t += V >= V3208 ? " flags 09\n" : V >= V01 ? " flags 01\n" : " flags 08\n"; // a new part's
    t += EventLine(0, 0x643C93) + EventLine(120, 0x3C83);
    if (V >= V3204) t += "    130 sysex 000000F0 [F0 7E F7]\n";
    return t;
}

std::string BassText(int V) {
    std::string t = "track 2 \"Bass\" mode 0 channel -1 output 0\n";
    if (V >= V02) t += "  bank 3\n";
    if (V >= V3207) t += "  layout 0\n";
    const int bar = V >= V3209 ? 720 : 960; // "BeatsInBar" 3 comes first
    t += "  part \"Line\" start 960 length " + std::to_string(bar) + " endtime 240";
    t += V >= V3208 || V == V0 ? " flags 08\n" : "\n";
    return t + EventLine(960, 0x7F2890) + EventLine(1200, 0x2880);
}

std::string EmptyTrackText(int V, int Index) {
    return "track " + std::to_string(Index + 1) + " \"\" mode 0 channel 0 output 0\n" +
           (V >= V3207 ? "  layout 0\n" : "");
}

// A message that went out: its port and the message.
using Sent = std::pair<int, std::uint32_t>;

class OldSongTest : public SongTest {
protected:
    // New tracks are MIDI tracks, as the oldest files knew no other kind.
    std::string_view Ini() const override { return "[Default]\nTrackMode=0\n"; }
    void SetUp() override {
        SongTest::SetUp();
        SetSongFileHost(&host);
        savedOutCount = MidiOutCount;
        MidiOutCount = 2;
    }
    void TearDown() override {
        MidiOutCount = savedOutCount;
        SetSongFileHost(nullptr);
        SongTest::TearDown();
    }
    std::string Write(const std::string& Bytes, const std::string& Name = "song.seq") {
        return dir.WriteFile(Name, Bytes);
    }
    // Reads a file as the dispatcher does: by the reader its magic names.
    bool Read(int V, const std::string& Path) {
        midi.Sent.clear();
        TSongReader reader = SongReaderFor(Magic(V));
        EXPECT_NE(reader, nullptr) << Magic(V);
        return reader && reader(Path);
    }
    // What the reader sent after its clear's controller 0 messages (one to the port of each
    // MIDI track).
    std::vector<Sent> SentAfterClear() const {
        std::vector<Sent> sent;
        std::size_t i = 0;
        while (i < midi.Sent.size() && (midi.Sent[i].Msg & 0xFFFFF0u) == 0xB0u)
            ++i;
        for (; i < midi.Sent.size(); ++i)
            sent.push_back({midi.Sent[i].Port, midi.Sent[i].Msg});
        return sent;
    }
    static int PartCount() {
        int n = 0;
        for (int i = 0; i < TrackCount; ++i)
            for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next)
                ++n;
        return n;
    }
    static int EventCount() {
        int n = 0;
        for (int i = 0; i < TrackCount; ++i)
            for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next)
                for (const _TEvent* e = p->Events; e; e = e->Next)
                    ++n;
        return n;
    }

    TempoHost host;
    TempDir dir;
    ScriptedDialogs dialogs;
    int savedOutCount = 0;
};

} // namespace

TEST_F(OldSongTest, EveryVersionReadsItsFixture) {
    for (int v = V0; v <= V3209; ++v) {
        SCOPED_TRACE(Magic(v));
        // A song with tempo presets and areas of its own is open.
        host.Tempo = {"120", "96"};
        host.Areas().clear();
        Song->Clear();
        SongText before(*Song);
        host.Areas() = {{"A", 0, 960}, {"B", 960, 1920}};
        std::string path = Write(Fixture(v));
        ASSERT_TRUE(Read(v, path));

        SongText after(*Song);
        std::string head = before.Head;
        head.replace(head.find("\"Undefined.seq\""), 15,
                     "\"song.seq\""); // the file, not "Old tune"
        if (v >= V3209) head.replace(head.find("beatsperbar 4"), 13, "beatsperbar 3");
        EXPECT_EQ(after.Head, head);
        EXPECT_EQ(after.Tail, before.Tail + "area \"Verse\" 960 1920\n");
        ASSERT_EQ(after.Tracks.size(), std::size_t(TrackCount));
        EXPECT_EQ(after.Tracks[0], PianoText(v));
        EXPECT_EQ(after.Tracks[1], BassText(v));
        const int written = v <= V02 ? 16 : 32;
        for (int i = 2; i < TrackCount; ++i)
            EXPECT_EQ(after.Tracks[i], i < written ? EmptyTrackText(v, i) : before.Tracks[i])
                << "track " << i + 1;
        EXPECT_EQ(Song->Folder, dir.Path());
        EXPECT_EQ(midi.Tempo, 133);
        EXPECT_EQ(host.AreaTexts(), std::vector<std::string>{"Verse 960 1920"});
        const std::vector<std::string> presets =
            v >= V3202 ? std::vector<std::string>{"100", "90"} : std::vector<std::string>{};
        EXPECT_EQ(host.Tempo, presets);

        // The bank and program of each track at once; the first versions skip a track without
        // a program, the later ones still send its bank (channel none goes out on channel 0).
        std::vector<Sent> sent;
        if (v >= V02) sent.push_back({1, PackMidiMsg(0xB3, 0, 2)});
        sent.push_back({1, PackMidiMsg(0xC3, 5, 0)});
        if (v >= V02) sent.push_back({0, PackMidiMsg(0xB0, 0, 3)});
        EXPECT_EQ(SentAfterClear(), sent);
    }
}

TEST_F(OldSongTest, ValuesOutsideTheirRangeReadAsNotSet) {
    struct Case {
        const char* What;
        std::int32_t Track::*Field;
        std::int32_t Stored;
        std::int32_t _TTrack::*Plain; // or
        std::atomic<std::int32_t> _TTrack::*Atomic;
        std::int32_t Expected;
    };
    const Case cases[] = {
        {"channel 200", &Track::Channel, 200, nullptr, &_TTrack::Channel, -1},
        {"channel -1", &Track::Channel, -1, nullptr, &_TTrack::Channel, -1},
        {"channel 16", &Track::Channel, 16, nullptr, &_TTrack::Channel, 0}, // the new song's
        {"program 200", &Track::Program, 200, &_TTrack::Program, nullptr, -1},
        {"program 150", &Track::Program, 150, &_TTrack::Program, nullptr, 150},
        {"bank 200", &Track::Bank, 200, &_TTrack::Bank, nullptr, -1},
        {"volume 200", &Track::Volume, 200, &_TTrack::Volume, nullptr, -1},
        {"volume 300", &Track::Volume, 300, &_TTrack::Volume, nullptr, -1},
        {"volume 127", &Track::Volume, 127, &_TTrack::Volume, nullptr, 127},
        {"pan 200", &Track::Pan, 200, &_TTrack::Pan, nullptr, -1},
        {"pan -2", &Track::Pan, -2, &_TTrack::Pan, nullptr, -1},
        {"reverb 200", &Track::Reverb, 200, &_TTrack::Reverb, nullptr, -1},
        {"reverb 128", &Track::Reverb, 128, &_TTrack::Reverb, nullptr, -1},
        {"chorus 200", &Track::Chorus, 200, &_TTrack::Chorus, nullptr, -1},
        {"chorus 0", &Track::Chorus, 0, &_TTrack::Chorus, nullptr, 0},
        {"output 5", &Track::Output, 5, nullptr, &_TTrack::Output, 0},
        {"output 1", &Track::Output, 1, nullptr, &_TTrack::Output, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Track t;
        t.Channel = 0;
        t.*c.Field = c.Stored;
        Writer w(V3209);
        w.Tracks({t});
        ASSERT_TRUE(LoadSongV3209(Write(w.Bytes)));
        const _TTrack& read = *Song->Tracks[0];
        EXPECT_EQ(c.Plain ? read.*c.Plain : (read.*c.Atomic).load(), c.Expected);
    }
}

TEST_F(OldSongTest, TrackTypeMuteAndOutputOfSoftsynthTracks) {
    struct Case {
        std::int32_t Type, Output, Mute;
        int Mode, ReadOutput, Muted;
    };
    const Case cases[] = {
        {0, 5, 1, tmMidi, 0, 1},  {1, 5, 2, tmAudio, 0, 0}, {2, 5, 0, tmSoftsynth, 5, 0},
        {3, 1, -1, tmMidi, 1, 0}, {4, 1, 1, tmMidi, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Type);
        Track t;
        t.Type = c.Type;
        t.Output = c.Output;
        t.Mute = c.Mute;
        t.Program = 7; // goes out for MIDI tracks only
        Writer w(V3209);
        w.Tracks({t});
        midi.Sent.clear();
        ASSERT_TRUE(LoadSongV3209(Write(w.Bytes)));
        const _TTrack& read = *Song->Tracks[0];
        EXPECT_EQ(read.Mode.load(), c.Mode);
        EXPECT_EQ(read.Output.load(), c.ReadOutput);
        EXPECT_EQ(read.Mute.load(), c.Muted);
        EXPECT_EQ(SentAfterClear().size(), c.Mode == tmMidi ? 1u : 0u);
    }
}

TEST_F(OldSongTest, BankModeZeroSendsOnlyDataBytes) {
    Track t;
    t.Channel = 200;
    t.Program = 5;
    Track wide;
    wide.Channel = 2;
    wide.Program = 150;
    Writer w(V3209);
    w.Tracks({t, wide});
    ASSERT_TRUE(LoadSongV3209(Write(w.Bytes)));
    EXPECT_EQ(SentAfterClear(), (std::vector<Sent>{{0, PackMidiMsg(0xC0, 5, 0)}}));
}

TEST_F(OldSongTest, AreaListsHoldTheirLastIndex) {
    for (int last : {-1, 0, 1}) {
        SCOPED_TRACE(last);
        Writer w(V3202);
        std::vector<Area> areas;
        for (int i = 0; i <= last; ++i)
            areas.push_back({"A" + std::to_string(i), i * 960, i * 960 + 480});
        w.Areas(areas);
        ASSERT_TRUE(LoadSongV3202(Write(w.Bytes)));
        EXPECT_EQ(host.Areas().size(), std::size_t(last + 1));
    }
}

TEST_F(OldSongTest, SoundCardSelectionsReachItsWindow) {
    struct Case {
        bool Exists;
        std::uint8_t Available;
        std::vector<std::pair<int, int>> Lists;
        std::vector<bool> Take;
    };
    const Case cases[] = {
        {true, 1, {{aweReverb, 1}, {aweChorus, 2}, {aweBass, 3}, {aweTreble, 4}}, {false}},
        {true, 0, {}, {false}},
        {false, 1, {}, {}},
    };
    const std::uint8_t saved = AweAvailable;
    for (const Case& c : cases) {
        AweWindow window;
        window.Exists = c.Exists;
        AweAvailable = c.Available;
        SetMidiEditors(&window);
        Writer w(V3203);
        w.Keyword("AWE").Int(1).Int(2).Int(3).Int(4).Int(5);
        bool read = LoadSongV3203(Write(w.Bytes));
        SetMidiEditors(nullptr);
        EXPECT_TRUE(read);
        EXPECT_EQ(window.Lists, c.Lists);
        EXPECT_EQ(window.TakeFromCard, c.Take);
    }
    AweAvailable = saved;
}

TEST_F(OldSongTest, PartsOfTheFileKeepTheirTrackAndOrder) {
    Track t;
    t.Name = "T";
    // The second part starts where the first does: the track refuses it with its events.
    t.Parts = {{"A", 0, 960, 0, 0, {{0, 0x403C90}}},
               {"B", 0, 960, 0, 0, {{0, 0x403E90}, {10, 0x3E80}}},
               {"C", 1920, -5, 99, 0, {}}};
    Writer w(V3209);
    w.Keyword("Tempo").Int(0);
    w.Keyword("BeatsInBar").Int(-3);
    w.Tracks({Track{}, t});
    midi.Tempo = 50;
    ASSERT_TRUE(LoadSongV3209(Write(w.Bytes)));
    EXPECT_EQ(midi.Tempo, 120);
    EXPECT_EQ(Song->BeatsPerBar, 4);
    const _TPart* a = Song->Tracks[1]->Parts;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Name, "A");
    ASSERT_NE(a->Next, nullptr);
    EXPECT_EQ(a->Next->Name, "C");
    EXPECT_EQ(a->Next->Track, 1);
    EXPECT_EQ(a->Next->Length, 960);
    EXPECT_EQ(a->Next->Next, nullptr);
    EXPECT_EQ(EventCount(), 1);
}

// Saved again, a song goes to the file it was read from, whatever name it stores.
TEST_F(OldSongTest, TheSongIsNamedAfterItsFile) {
    for (const char* stored : {"Tune.seq", "", "..\\x", "a/b.seq"}) {
        SCOPED_TRACE(stored);
        Writer flat(V02);
        flat.Flat(stored, 120, {}, {});
        ASSERT_TRUE(LoadSongV02(Write(flat.Bytes, "old.seq")));
        EXPECT_EQ(Song->FileName, "old.seq");
        Writer keyword(V3205);
        keyword.Keyword("Name").Str(stored);
        ASSERT_TRUE(LoadSongV3205(Write(keyword.Bytes, "old.seq")));
        EXPECT_EQ(Song->FileName, "old.seq");
    }
}

TEST_F(OldSongTest, AudioSlotsConvertVolumeAndPan) {
    // Volume -10000 gives 0, 0 gives 1, -1000 gives 114/127; pan -10000 gives 127, 0 gives 63,
    // 10000 gives 0, 3701 gives 40. A field count beyond 11 counts as 11; one record names no
    // track.
    struct Case {
        std::int32_t F;
        std::vector<Writer::Slot> Slots;
        std::vector<std::string> Expected; // the sample lines of track 3
    };
    const Case cases[] = {
        {11,
         {{2, 4, -10000, -10000, 1, 1}, {2, 5, 0, 0, 0, 0}},
         {"  sample 0 index 4 pan 127 mute 1 fr 1 bus 0 volume 0\n",
          "  sample 1 index 5 pan 63 mute 0 fr 0 bus 0 volume 1\n"}},
        {10,
         {{2, 1, -1000, 10000, 1, 0}},
         {"  sample 0 index 1 pan 0 mute 1 fr 0 bus 0 volume 0.897638\n"}},
        {5,
         {{2, 1, -1000, 3701, 0, 0}, {128, 1}, {-1, 1}},
         {"  sample 0 index 1 pan 40 mute 0 fr 1 bus 0 volume 0.897638\n"}},
        {12, {{2, 3, 0, 0, 0, 1}}, {"  sample 0 index 3 pan 63 mute 0 fr 1 bus 0 volume 1\n"}},
        {2, {{2, 3, -1000}}, {"  sample 0 index 3 pan 63 mute 0 fr 1 bus 0 volume 0.897638\n"}},
    };
    for (int v : {V3206, V3209}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(Magic(v) + " F " + std::to_string(c.F));
            Writer w(v);
            w.Keyword("Version").Int(1);
            w.Audio(c.F, c.Slots);
            w.Keyword("Tempo").Int(99); // the records end where they should
            midi.Tempo = 120;
            std::string path = Write(w.Bytes);
            if (!c.Slots.empty()) {
                dialogs.Answer(1, "File not found: ");
                dialogs.Answer(1, " is invalid");
            }
            EXPECT_TRUE(SongReaderFor(Magic(v))(path));
            EXPECT_EQ(midi.Tempo, 99);
            std::string expected = "track 3 \"Track 3\" mode 0 channel 2 output 0\n";
            for (const std::string& s : c.Expected)
                expected += s;
            EXPECT_EQ(SongText(*Song).Tracks[2], expected);
            ASSERT_EQ(Song->Tracks[2]->Samples.size(), c.Expected.size());
            if (c.F == 10) {
                EXPECT_EQ(Song->Tracks[2]->Samples[0]->Volume, 114 / 127.0f);
            }
        }
    }
}

TEST_F(OldSongTest, SampleBankBesideTheSong) {
    Writer w(V3206);
    w.Keyword("Version").Int(1);
    w.Audio(1, {{0, 0}, {0, 1}});
    std::string path = Write(w.Bytes, "drums.seq");
    std::string bank = dir.Path() + "drums.dxg";

    // No bank: both messages, in order.
    dialogs.Answer(1).Answer(1);
    EXPECT_TRUE(LoadSongV3206(path));
    std::vector<RecordedBox> boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "File not found: " + bank);
    EXPECT_EQ(boxes[0].Caption, "Open song");
    EXPECT_EQ(boxes[0].Icon, platform::MB_ICONSTOP);
    EXPECT_EQ(boxes[1].Text, bank + " is invalid");
    EXPECT_EQ(boxes[1].Caption, "Error");
    EXPECT_EQ(boxes[1].Icon, platform::MB_ICONSTOP);

    // A bank of two samples: none.
    for (const char* name : {"kick", "snare"}) {
        TWaveCollectionItem* item = Song->SamplePool->Items.Add();
        item->SetName(name);
        item->Wave.SetPCMFormat(44100, 16, 1);
        item->Wave.SetSize(4);
        std::memset(item->Wave.Data(), 1, 4);
    }
    Song->SamplePool->Items.SaveToFile(bank);
    EXPECT_TRUE(LoadSongV3206(path));
    EXPECT_EQ(dialogs.Boxes().size(), 2u);
    ASSERT_EQ(Song->SamplePool->Items.Count(), 2);
    EXPECT_EQ(Song->SamplePool->Items.GetItem(1)->Name(), "snare");
    ASSERT_EQ(Song->Tracks[0]->Samples.size(), 2u);
    EXPECT_EQ(Song->Tracks[0]->Samples[1]->Index, 1);

    // A song that stores a name finds the bank under that name first, under its own next; a
    // stored name that leads out of the folder counts as its own.
    std::filesystem::copy_file(bank, dir.Path() + "Tune.dxg");
    Song->SamplePool->Items.GetItem(1)->SetName("other");
    Song->SamplePool->Items.SaveToFile(dir.Path() + "copy.dxg");
    const std::pair<const char*, const char*> cases[] = {
        {"Tune.seq", "snare"}, {"Missing.seq", "other"}, {"..\\Tune.seq", "other"}};
    for (const auto& [stored, second] : cases) {
        SCOPED_TRACE(stored);
        Writer named(V3206);
        named.Keyword("Name").Str(stored);
        named.Audio(1, {{0, 0}, {0, 1}});
        EXPECT_TRUE(LoadSongV3206(Write(named.Bytes, "copy.seq")));
        EXPECT_EQ(Song->FileName, "copy.seq");
        ASSERT_EQ(Song->SamplePool->Items.Count(), 2);
        EXPECT_EQ(Song->SamplePool->Items.GetItem(1)->Name(), second);
    }
    EXPECT_EQ(dialogs.Boxes().size(), 2u);
}

TEST_F(OldSongTest, NotesOfVersionZeroFilesTakeTheirSlotsPan) {
    for (bool versioned : {false, true}) {
        SCOPED_TRACE(versioned ? "Version 1" : "no Version");
        Track audio;
        audio.Type = 1;
        // Slot 2 of three; a note on slot 0 and one on slot 7 (no slot).
        audio.Parts = {{"S", 0, 960, 0, 0, {{0, 0x11400220}, {0, 0x400020}, {0, 0x400720}}}};
        Writer w(V3206);
        if (versioned) w.Keyword("Version").Int(1);
        w.Tracks({audio});
        w.Audio(3, {{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 2, 0, 3701}});
        dialogs.AllowUnexpectedBoxes(); // the bank is not there
        ASSERT_TRUE(LoadSongV3206(Write(w.Bytes)));
        const _TEvent* e = Song->Tracks[0]->Parts->Events;
        ASSERT_NE(e, nullptr);
        if (versioned) {
            EXPECT_EQ(e->Msg, 0x11400220u);
            EXPECT_EQ(e->Next->Msg, 0x400020u);
        } else {
            EXPECT_EQ(e->Msg, (40u << 24) | (127u << 16) | 0x0220);
            EXPECT_EQ(MidiData2(e->Msg), 127);
            EXPECT_EQ(e->Msg >> 24, 40u);
            EXPECT_EQ(e->Next->Msg, (63u << 24) | (127u << 16) | 0x0020);
        }
        EXPECT_EQ(e->Next->Next->Msg, 0x400720u);
    }
}

TEST_F(OldSongTest, SectionsTheVersionDoesNotKnowEndTheReading) {
    struct Case {
        int V;
        const char* Keyword;
        const char* Text;
        unsigned Icon;
    };
    const Case cases[] = {
        {V3202, "AWE", "You need a later version of Tolvern to read this song",
         platform::MB_ICONINFORMATION},
        {V3202, "???", "You need a later version of Tolvern to read this song",
         platform::MB_ICONINFORMATION},
        {V3205, "Positions", "You need a newer version of Tolvern to read this file",
         platform::MB_ICONINFORMATION},
        {V3206, "MFX", "You need a newer version of Tolvern to read this file",
         platform::MB_ICONINFORMATION},
        {V3208, "BeatsInBar", "You need a newer version of Tolvern to read this file",
         platform::MB_ICONSTOP},
        {V3209, "Unknown", "You need a newer version of Tolvern to read this file",
         platform::MB_ICONSTOP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Magic(c.V) + " " + c.Keyword);
        Writer w(c.V);
        w.Keyword("Name").Str("kept");
        w.Keyword(c.Keyword).Int(3);
        w.Keyword("Tempo").Int(99);
        dialogs.Answer(1);
        midi.Tempo = 120;
        EXPECT_FALSE(Read(c.V, Write(w.Bytes)));
        ASSERT_FALSE(dialogs.Boxes().empty());
        const RecordedBox box = dialogs.Boxes().back();
        EXPECT_EQ(box.Text, c.Text);
        EXPECT_EQ(box.Caption, "Open song");
        EXPECT_EQ(box.Icon, c.Icon);
        EXPECT_EQ(Song->FileName, "song.seq");
        EXPECT_EQ(midi.Tempo, 120);
    }
}

TEST_F(OldSongTest, AFileOfAnotherVersionLeavesTheSongAlone) {
    Song->Tracks[0]->Name = "mine";
    std::string before = DumpSong(*Song);
    dialogs.Answer(1, "This is not a Tolvern file");
    EXPECT_FALSE(LoadSongV3205(Write(Fixture(V3204))));
    EXPECT_EQ(dialogs.Boxes().at(0).Caption, "Open error");
    EXPECT_EQ(dialogs.Boxes().at(0).Icon, platform::MB_ICONSTOP);
    EXPECT_EQ(DumpSong(*Song), before);
    // A missing file does nothing at all.
    EXPECT_FALSE(LoadSongV3205(dir.Path() + "missing.seq"));
    EXPECT_EQ(DumpSong(*Song), before);
}

TEST_F(OldSongTest, DroppedSectionsAreReadWhole) {
    for (int v : {V3207, V3208}) {
        for (std::int32_t k : {0, 2, 3, -1}) {
            SCOPED_TRACE(Magic(v) + " K " + std::to_string(k));
            Writer w(v);
            w.Mfx(3, k, 2);
            w.MasterTempo({100});
            w.Keyword("Tempo").Int(99);
            midi.Tempo = 120;
            SetSongFileHost(nullptr); // no options window: the presets are dropped
            EXPECT_TRUE(SongReaderFor(Magic(v))(Write(w.Bytes)));
            SetSongFileHost(&host);
            EXPECT_EQ(midi.Tempo, 99);
        }
    }
}

TEST_F(OldSongTest, CutFilesAndHugeCountsKeepWhatWasRead) {
    dialogs.AllowUnexpectedBoxes();
    for (int v = V0; v <= V3209; ++v) {
        SCOPED_TRACE(Magic(v));
        std::vector<std::size_t> counts;
        const std::string full = Fixture(v, &counts);
        ASSERT_TRUE(Read(v, Write(full)));
        const int parts = PartCount(), events = EventCount();
        for (std::size_t cut = 1; cut < full.size(); ++cut) {
            Read(v, Write(full.substr(0, cut)));
            ASSERT_LE(PartCount(), parts) << "cut at " << cut;
            ASSERT_LE(EventCount(), events) << "cut at " << cut;
        }
        // Whatever the rest of the file turns into, it is read no further than its end.
        for (std::size_t at : counts) {
            std::string bytes = full;
            bytes.replace(at, 4, "\x7F\xFF\xFF\xFF");
            EXPECT_FALSE(Read(v, Write(bytes))) << "count at " << at;
            ASSERT_LE(PartCount(), int(full.size() / 17)) << "count at " << at;
            ASSERT_LE(EventCount(), int(full.size() / 8)) << "count at " << at;
        }
    }
    // A cut file says so.
    dialogs.AllowUnexpectedBoxes(false);
    dialogs.Answer(1,
                   "The song file is damaged or incomplete. What could be read has been loaded.");
    std::string full = Fixture(V3201);
    EXPECT_FALSE(LoadSongV3201(Write(full.substr(0, full.size() - 3))));
    EXPECT_EQ(Song->Tracks[0]->Name, "Piano");
}

namespace {

// The plug-in search dialog, cancelled each time; it remembers what it was asked for.
class CancelledSearch : public TSoftsynthWindows {
public:
    std::vector<std::string> Asked;
    bool SearchPlugin(const std::string& FileName) override {
        Asked.push_back(FileName);
        return false;
    }
};

} // namespace

TEST_F(OldSongTest, SoftsynthsComeFromTheSynthFolder) {
    // The program folder holds the example instrument in its "synth" folder; a library x lies
    // two folders up from there, where a name with ".." parts would reach it.
    const std::string program = dir.Path() + "app/program/";
    ASSERT_TRUE(platform::ForceDirectories(program + "synth"));
    std::string library;
    ASSERT_TRUE(platform::ReadWholeFile(TOLVERN_BIN_DIR "/synth/tvsynth.so", library));
    dir.WriteFile("app/program/synth/tvsynth.so", library);
    dir.WriteFile("x.so", library);
    platform::SetProgramFolder(program);
    CancelledSearch search;
    SetSoftsynthWindows(&search);

    Writer w(V3209);
    w.Keyword("Softsynth").Count(2).Str("tvsynth").Str("..\\..\\x");
    w.Keyword("Softsynth2").Count(1).Str("TVSynth").Count(2).Double(0.25).Double(0.75);
    bool read = LoadSongV3209(Write(w.Bytes));
    SetSoftsynthWindows(nullptr);
    platform::SetProgramFolder("");
    ASSERT_TRUE(read);

    ASSERT_EQ(SoftEngine->Count(), 3);
    TMFX& first = *SoftEngine->GetItem(0)->Plugin;
    EXPECT_TRUE(first.Loaded);
    EXPECT_EQ(platform::ExtractFileName(platform::ModuleFileName(first.Dll)), "tvsynth.so");
    // Nothing outside the synth folder: the search by the file name found nothing there.
    EXPECT_FALSE(SoftEngine->GetItem(1)->Plugin->Loaded);
    EXPECT_EQ(search.Asked.size(), 1u);
    TMFX& second = *SoftEngine->GetItem(2)->Plugin;
    ASSERT_TRUE(second.Loaded);
    EXPECT_FLOAT_EQ(second.GetParameter(0), 0.25f);
    EXPECT_FLOAT_EQ(second.GetParameter(1), 0.75f);
}
