#include "song/songfile.h"

#include "devices/midimsg.h"
#include "fake_midi_editors.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "song/filehelpers.h"
#include "song/primitives.h"
#include "song/songfile_items.h"
#include "song/undo.h"
#include "song_fixture.h"
#include "song_invariants.h"
#include "songdump/dump.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class FakeFileHost : public TSongFileHost {
public:
    std::vector<std::string> Tempo;
    int Todos = 0;
    bool Audio = false;
    int RanTodos = 0;
    std::vector<int> Added;
    std::vector<std::string> Recent;
    std::string Caption;

    std::vector<std::string> TempoLines() override { return Tempo; }
    void AppendTempoLine(std::string_view Line) override { Tempo.emplace_back(Line); }
    int TodoCount() override { return Todos; }
    bool AudioRunning() override { return Audio; }
    void RunTodos() override {
        ++RanTodos;
        Todos = 0;
    }
    void AddTodo(int Kind) override { Added.push_back(Kind); }
    void SetArrangeCaption(std::string_view C) override { Caption = C; }
    void AddRecentFile(std::string_view Path) override { Recent.emplace_back(Path); }
};

std::string DataFile(const std::string& Name) {
    return std::string(TOLVERN_TEST_DATA_DIR) + "/song/data/" + Name;
}

std::string FileBytes(const std::string& Path) {
    std::string bytes;
    platform::ReadWholeFile(Path, bytes);
    return bytes;
}

// The song as text without its folder, which depends on where the file lies.
std::string DumpWithoutFolder(const TSong& S) {
    std::string text = DumpSong(S);
    std::size_t at = text.find("  folder ");
    if (at != std::string::npos) text.erase(at, text.find('\n', at) + 1 - at);
    return text;
}

class SongFileTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        SetSongFileHost(&host);
        SetMidiEditors(&editors);
    }
    void TearDown() override {
        SetSongFileHost(nullptr);
        SetMidiEditors(nullptr);
        platform::ClearFileFailures();
        SongTest::TearDown();
    }
    // An undo step holding one part, as an edit leaves it.
    void FillUndo() {
        Song->UndoStore->Begin(ukEdit, "Undo edit");
        Song->UndoStore->AddPart(NewPart("saved", 0, 960, 0));
    }
    bool UndoIsEmpty() const {
        return Song->UndoStore->Kind == ukNone && Song->UndoStore->Caption == "Undo" &&
               Song->UndoStore->Parts.empty();
    }

    FakeFileHost host;
    FakeMidiEditors editors;
    TempDir dir;
};

} // namespace

TEST_F(SongFileTest, GoldenFileLoadsToTheExpectedSong) {
    ASSERT_TRUE(LoadSongFile(DataFile("golden.seq")));
    EXPECT_EQ(midi.Tempo, 135);
    EXPECT_EQ(host.Tempo, (std::vector<std::string>{"120", "96"}));
    EXPECT_EQ(Song->Folder, DataFile(""));
    std::string text = DumpWithoutFolder(*Song);
    EXPECT_EQ(text.substr(0, text.find("defaults of a track")),
              "song \"golden.seq\"\n"
              "  beatsperbar 3 editres 16 grid 60\n"
              "  locators 480 2400 position 240 playstart 0\n"
              "  currenttrack 0 solotrack -1 state 0 loopon 0 looping 0\n"
              "  untitled 1 modified 0 midifile 0 inputquantize 0\n"
              "  synctoaudio 1 precounts 4 respondtostartstop 0 metronomeon 0\n"
              "  master volume 1 pan 0 bus 0 active 0\n");
    EXPECT_NE(text.find("track 1 \"Piano\" mode 0 channel 0 output 1\n"
                        "  program 5\n  bank 2\n  volume 100\n  pan 64\n  reverb 40\n"
                        "  chorus 10\n  layout 4352\n  transpose -12\n  offset 3\n  mute 1\n"
                        "  userfile \"my.ins\"\n"
                        "  part \"Intro\" start 0 length 960 endtime 135 flags 09\n"
                        "    0 note on 1 C3 100\n"
                        "    0 controller 1 7 90\n"
                        "    120 note off 1 C3 0\n"
                        "    130 sysex 000000F0 [F0 7E F7]\n"
                        "    135 value 000001F0 value 12345678\n"
                        "  part \"Empty\" start 1920 length 960 endtime 0 flags 08\n"
                        "track 2 \"Disk\" mode 4 channel 1 output 0\n"
                        "  part \"Take\" start 480 length 1920 endtime 100 flags 08 sample 2\n"
                        "    580 controller 2 10 64\n"
                        "track 3 \"Track 3\" mode 2 channel 2 output 0\n"
                        "track 4 "),
              std::string::npos)
        << text;
    for (int i = 2; i < TrackCount; ++i) {
        std::string line = "track " + std::to_string(i + 1) + " \"Track " + std::to_string(i + 1) +
                           "\" mode 2 channel " + std::to_string(i % 16) + " output 0\ntrack ";
        if (i == TrackCount - 1) line = line.substr(0, line.size() - 6) + "metronome";
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(DumpEvents(*Song), "0 0 0 90 60 100\n"
                                 "0 0 0 B0 7 90\n"
                                 "0 0 120 80 60 0\n"
                                 "0 0 130 F0 0 0\n"
                                 "0 0 135 F0 1 0\n"
                                 "1 480 580 B1 10 64\n");
    EXPECT_EQ(editors.Clears, 1);
    EXPECT_EQ(editors.Rows, (std::vector<int>{7, 10, -3}));
    EXPECT_EQ(Song->DiskOutputs[0].Active, 1);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(SongFileTest, WriterReproducesTheGoldenByteForByte) {
    ASSERT_TRUE(LoadSongFile(DataFile("golden.seq")));
    ASSERT_TRUE(SaveSongFile(dir.Path() + "golden.seq"));
    std::string golden = FileBytes(DataFile("golden.seq"));
    std::string written = dir.ReadFile("golden.seq");
    ASSERT_EQ(written.size(), golden.size());
    EXPECT_TRUE(written == golden);
    // Only the track whose layout has the bit 4096 writes its user file.
    EXPECT_EQ(written.find("TrackUserFile"), written.rfind("TrackUserFile"));
}

TEST_F(SongFileTest, EdgeCaseFiles) {
    ScriptedDialogs boxes;
    std::string fresh = DumpWithoutFolder(*Song);
    Song->Tracks[3]->Name = "left over"; // a load starts from the empty song

    ASSERT_TRUE(LoadSongFile(DataFile("magic_only.seq")));
    fresh.replace(fresh.find("\"Undefined.seq\""), 15, "\"magic_only.seq\""); // its file's name
    EXPECT_EQ(DumpWithoutFolder(*Song), fresh);

    ASSERT_TRUE(LoadSongFile(DataFile("unknown_tag.seq")));
    EXPECT_EQ(Song->BeatsPerBar, 5);
    EXPECT_EQ(Song->Position, 77);

    ASSERT_TRUE(LoadSongFile(DataFile("tracks_129.seq")));
    EXPECT_EQ(Song->Tracks[126]->Name, "T126");
    EXPECT_EQ(Song->Tracks[127]->Name, "T128");
    EXPECT_EQ(Song->MetronomeTrack()->Name, "");

    midi.Tempo = 99;
    ASSERT_TRUE(LoadSongFile(DataFile("hostile_values.seq")));
    EXPECT_EQ(midi.Tempo, 120);
    EXPECT_EQ(Song->BeatsPerBar, 4);
    _TTrack& t0 = *Song->Tracks[0];
    EXPECT_EQ(t0.Mode, 0);                  // 7
    EXPECT_EQ(t0.Mute, 0);                  // 2
    EXPECT_EQ(t0.Channel, 0);               // 16: the new song's channel stays
    EXPECT_EQ(Song->Tracks[1]->Channel, 1); // -2
    _TPart* zero = Song->Tracks[1]->Parts;
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->Length, 960); // 0 becomes one bar
    EXPECT_EQ(zero->Flags, 9u);   // style 1: selected, and needs redraw
    ASSERT_NE(zero->Next, nullptr);
    EXPECT_EQ(zero->Next->Start, 960); // moved and grown after "PartEnd": ignored
    EXPECT_EQ(zero->Next->Length, 960);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_EQ(boxes.Boxes().size(), 0u);

    // Damaged files keep what could be read, stay aligned after the damage, and say so.
    boxes.Answer(platform::IDOK, "damaged");
    EXPECT_FALSE(LoadSongFile(DataFile("count_mismatch.seq")));
    EXPECT_EQ(CountPartEvents(Song->Tracks[0]->Parts), 2);
    EXPECT_EQ(Song->Position, 99);

    boxes.Answer(platform::IDOK, "damaged");
    EXPECT_FALSE(LoadSongFile(DataFile("string_mismatch.seq")));
    EXPECT_EQ(Song->Tracks[0]->Name, "abc");
    EXPECT_EQ(Song->Tracks[0]->Program, 7);

    boxes.Answer(platform::IDOK, "damaged");
    EXPECT_FALSE(LoadSongFile(DataFile("truncated.seq")));
    EXPECT_EQ(Song->Tracks[0]->Name, "Piano");
    EXPECT_TRUE(CheckSongInvariants(*Song));
    std::vector<RecordedBox> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].Caption, "Open song");
    EXPECT_EQ(shown[0].Icon, platform::MB_ICONWARNING);

    // A file that cannot be mapped leaves the song alone, without a message.
    Song->Tracks[0]->Name = "kept";
    EXPECT_FALSE(LoadSongFile(dir.Path() + "missing.seq"));
    EXPECT_EQ(Song->Tracks[0]->Name, "kept");
}

TEST_F(SongFileTest, NamesAndRecordSizes) {
    struct Case {
        const char* given;
        const char* written;
    } cases[] = {
        {"/s/song.mid", "/s/song.seq"},
        {"/s/x.midi.seq", "/s/x.seq"},
        {"/s/x.SEQ", "/s/x.SEQ.seq"},
        {"/s/x.seq", "/s/x.seq"},
        {"/s/noext", "/s/noext.seq"},
        {"/s/a.mid.bak", "/s/a.seq"},
        // Folders are never cut nor tested.
        {"/my.mid/song", "/my.mid/song.seq"},
        {"/old.seq/song", "/old.seq/song.seq"},
        {"song.mid", "song.seq"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SongFileTarget(c.given), c.written) << c.given;

    _TEvent* note = NewEvent(0, PackMidiMsg(0x90, 60, 1));
    _TEvent* sysex = NewEvent(0, PackMidiMsg(0xF0, 0, 0));
    const std::uint8_t block[] = {0xF0, 0x01, 0xF7};
    SetEventBlock(*sysex, block, 3);
    _TEvent* value = NewEvent(0, PackMidiMsg(0xF0, 1, 0));
    SetEventValue(*value, 7);
    EXPECT_EQ(EventRecordSize(*note), 8);
    EXPECT_EQ(EventRecordSize(*sysex), 4 + 4 + 4 + 3);
    EXPECT_EQ(EventRecordSize(*value), 16);
    for (_TEvent* e : {note, sysex, value})
        FreeEvent(e);
}

TEST_F(SongFileTest, SavingNamesTheSongAndTellsTheWindows) {
    host.Todos = 3;
    Song->Modified = 1;
    FillUndo();
    std::string path = dir.Path() + "tune.mid";
    ASSERT_TRUE(SaveSongFile(path));
    EXPECT_EQ(host.RanTodos, 1); // the audio system was not running
    EXPECT_TRUE(platform::FileExists(dir.Path() + "tune.seq"));
    EXPECT_FALSE(platform::FileExists(path));
    EXPECT_EQ(Song->FileName, "tune.seq");
    EXPECT_EQ(Song->Folder, dir.Path());
    EXPECT_EQ(Song->Modified, 0);
    EXPECT_EQ(Song->Untitled, 0);
    EXPECT_EQ(host.Caption, "tune.seq");
    EXPECT_EQ(host.Recent, std::vector<std::string>{dir.Path() + "tune.seq"});
    EXPECT_EQ(host.Added, std::vector<int>{2});
    EXPECT_TRUE(UndoIsEmpty());
    EXPECT_EQ(platform::TIniFile().ReadString("Autoload", "Song", ""), dir.Path() + "tune.seq");
    std::string bytes = dir.ReadFile("tune.seq");
    EXPECT_EQ(bytes.substr(0, 11), "\x0ATolvernSeq");
    EXPECT_NE(bytes.find("\x07SeqName\x00\x00\x00\x09\x08tune.seq", 0, 21), std::string::npos);

    // While the audio system renders, the actions stay queued with a warning.
    ScriptedDialogs boxes;
    boxes.Answer(platform::IDOK, "3 actions left in queue");
    host.Todos = 3;
    host.Audio = true;
    ASSERT_TRUE(SaveSongFile(path));
    EXPECT_EQ(host.RanTodos, 1);
    EXPECT_EQ(boxes.Boxes().at(0).Caption, "Warning");
}

TEST_F(SongFileTest, AFailedSaveKeepsTheOldFileAndTheSong) {
    for (platform::FileOp op :
         {platform::FileOp::Create, platform::FileOp::Write, platform::FileOp::Rename}) {
        std::string path = dir.WriteFile("old.seq", "the old song");
        Song->FileName = "before.seq";
        Song->Folder = "/before/";
        Song->Modified = 1;
        Song->Untitled = 1;
        Song->IsMidiFile = 1;
        FillUndo();
        ScriptedDialogs boxes;
        boxes.Answer(platform::IDOK, "not saved");
        platform::FailNextFileOp(op);
        EXPECT_FALSE(SaveSongFile(path));
        EXPECT_EQ(boxes.Boxes().at(0).Caption, "Save song");
        EXPECT_EQ(dir.ReadFile("old.seq"), "the old song");
        std::vector<platform::TDirEntry> entries;
        platform::ListDirectory(dir.Path(), entries);
        EXPECT_EQ(entries.size(), 1u); // no temporary file left behind
        EXPECT_EQ(Song->FileName, "before.seq");
        EXPECT_EQ(Song->Folder, "/before/");
        EXPECT_EQ(Song->Modified, 1);
        EXPECT_EQ(Song->Untitled, 1);
        EXPECT_EQ(Song->IsMidiFile, 1);
        EXPECT_TRUE(host.Recent.empty());
        EXPECT_TRUE(host.Added.empty());
        EXPECT_TRUE(host.Caption.empty());
        EXPECT_EQ(Song->UndoStore->Kind, ukEdit);
        EXPECT_EQ(Song->UndoStore->Parts.size(), 1u);
        EXPECT_FALSE(platform::TIniFile().ValueExists("Autoload", "Song"));
        platform::ClearFileFailures();
    }
}

namespace {

class RandomSongFileTest : public SongFileTest, public testing::WithParamInterface<unsigned> {
protected:
    std::mt19937 rng{GetParam()};
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    std::string Text(int maxLen) {
        std::string s(static_cast<std::size_t>(Pick(0, maxLen)), ' ');
        for (char& c : s)
            c = static_cast<char>(Pick(1, 255));
        return s;
    }

    std::uint32_t AnyMessage() {
        switch (Pick(0, 4)) {
        case 0:
            return PackMidiMsg(0x90 + Pick(0, 15), Pick(0, 127), Pick(0, 127));
        case 1:
            return PackMidiMsg(0xB0 + Pick(0, 15), Pick(0, 127), Pick(0, 127));
        case 2:
            return PackMidiMsg(msSampleOn, Pick(0, 127), Pick(0, 127)) + (Pick(0, 127) << 24);
        case 3:
            return PackMidiMsg(0xF0 + Pick(0, 15), Pick(0, 2), 0);
        default:
            return static_cast<std::uint32_t>(rng());
        }
    }

    _TEvent* AnyEvent() {
        std::uint32_t msg = AnyMessage();
        _TEvent* e = NewEvent(Pick(0, 300), msg);
        if (MidiStatus(msg) == msSysex) {
            if (MidiData1(msg) == 1) {
                SetEventValue(*e, static_cast<std::uint32_t>(rng()));
            } else {
                std::vector<std::uint8_t> block(static_cast<std::size_t>(Pick(0, 40)));
                for (auto& b : block)
                    b = static_cast<std::uint8_t>(Pick(0, 255));
                SetEventBlock(*e, block.data(), static_cast<int>(block.size()));
            }
        }
        return e;
    }

    // A song of random values in every field the file stores.
    void MakeRandomSong() {
        Song->BeatsPerBar = Pick(1, 7);
        Song->LeftLocator = Pick(0, 5000);
        Song->RightLocator = Pick(0, 50000);
        Song->Position = Pick(0, 50000);
        midi.Tempo = Pick(20, 300);
        for (int i = 0; i < 5; ++i)
            host.Tempo.push_back(std::to_string(Pick(30, 250)));
        for (int i = 0; i < TrackCount; ++i) {
            _TTrack& t = *Song->Tracks[i];
            if (Pick(0, 3)) continue;
            t.Name = Text(Pick(0, 9) ? 20 : 400); // now and then beyond a short string
            t.Channel = Pick(-1, 15);
            t.Output = Pick(0, 9);
            t.Mode = Pick(0, 4);
            t.Bank = Pick(-1, 16383);
            t.Program = Pick(-1, 127);
            t.Volume = Pick(-1, 127);
            t.Pan = Pick(-1, 127);
            t.Reverb = Pick(-1, 127);
            t.Chorus = Pick(-1, 127);
            t.Transpose = Pick(-48, 48);
            t.Mute = static_cast<std::uint8_t>(Pick(0, 1));
            t.Layout = Pick(0, 1) ? 256 : 256 | 4096;
            if (t.Layout & 4096) t.UserFile = Text(Pick(0, 4) ? 30 : 300);
            t.Offset = Pick(-100, 100);
            int start = 0;
            for (int n = Pick(0, 4); n > 0; --n) {
                start += Pick(0, 3) * 240;
                _TPart* p = NewPart(Text(40), start, Pick(1, 8) * 240, i);
                p->Flags |= static_cast<std::uint32_t>(Pick(0, 3)); // selected, muted
                if (t.Mode == tmDisk) p->Sample = Pick(-1, 20);
                ASSERT_TRUE(InsertPart(&t, p));
                for (int e = Pick(0, 30); e > 0; --e)
                    AppendEvent(p, AnyEvent());
                start = p->Start + p->Length;
            }
        }
    }
};

} // namespace

TEST_P(RandomSongFileTest, SaveAndLoadGiveTheSameSong) {
    MakeRandomSong();
    ASSERT_TRUE(SaveSongFile(dir.Path() + "random.seq"));
    int tempo = midi.Tempo;
    std::vector<std::string> tempoLines = host.Tempo;
    std::string before = DumpSong(*Song);
    std::string events = DumpEvents(*Song);
    host.Tempo.clear();
    midi.Tempo = 1;
    ASSERT_TRUE(LoadSongFile(dir.Path() + "random.seq"));
    Song->Untitled = 0;
    EXPECT_EQ(DumpSong(*Song), before);
    EXPECT_EQ(DumpEvents(*Song), events);
    EXPECT_EQ(midi.Tempo, tempo);
    EXPECT_EQ(host.Tempo, tempoLines);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSongFileTest, testing::Range(1u, 9u));

TEST_F(SongFileTest, FieldsTheFileDoesNotStoreAreDropped) {
    _TTrack& t = *Song->Tracks[2];
    t.Mode = 7;
    _TPart* p = NewPart("p", 0, 960, 2);
    InsertPart(&t, p);
    p->Group = 3;
    _TEvent* e = NewEvent(10, PackMidiMsg(0x90, 60, 100));
    e->Flags = efSelected | efMuted;
    AppendEvent(p, e);
    Song->EditRes = 32;
    Song->LoopOn = 1;
    Song->CurrentTrackIndex = 5;
    t.InputActivity = 4;
    ASSERT_TRUE(SaveSongFile(dir.Path() + "song.seq"));
    // A song object of its own, so that nothing can come from the one that saved.
    delete Song;
    Song = new TSong;
    ASSERT_TRUE(LoadSongFile(dir.Path() + "song.seq"));
    _TTrack& r = *Song->Tracks[2];
    EXPECT_EQ(r.Mode, 0);
    ASSERT_NE(r.Parts, nullptr);
    EXPECT_EQ(r.Parts->Group, 0);
    EXPECT_EQ(r.Parts->Events->Flags, 0u);
    EXPECT_EQ(Song->EditRes, 16);
    EXPECT_EQ(Song->LoopOn, 0);
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    EXPECT_EQ(r.InputActivity, 0);
}

TEST_F(SongFileTest, LongStringsAreCutForOtherReadersAndWholeForOurs) {
    std::string deep = "/home/user/" + std::string(300, 'd') + "/instrument.ins";
    Song->Tracks[0]->Layout = 256 | 4096;
    Song->Tracks[0]->UserFile = deep;
    ASSERT_TRUE(SaveSongFile(dir.Path() + "long.seq"));
    std::string bytes = dir.ReadFile("long.seq");
    std::string shortItem = "\x0DTrackUserFile" + std::string("\x00\x00\x01\x00\xFF", 5) +
                            deep.substr(0, 255) + "\x0ALongString" +
                            std::string("\x00\x00\x01", 3) + static_cast<char>(deep.size() - 256);
    EXPECT_NE(bytes.find(shortItem + deep), std::string::npos);
    ASSERT_TRUE(LoadSongFile(dir.Path() + "long.seq"));
    EXPECT_EQ(Song->Tracks[0]->UserFile, deep);
}
