// The File menu headless: opening songs of every kind through the one dispatcher, what a failed
// or partial read leaves, the recent files, New and Append, and the track setup on a virtual
// MIDI port. The main window runs with the scripted audio driver.
#include "app/arrange.h"
#include "app/filemenu.h"
#include "app/main.h"

#include "app_fixture.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/oldsong_writer.h"
#include "song/primitives.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songreaders.h"
#include "songdump/dump.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace platform;

namespace {

std::string ReadBytes(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteBytes(const std::string& Path, std::string_view Bytes) {
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
}
std::string ShortString(std::string_view S) {
    return std::string(1, char(S.size())) + std::string(S);
}

class FileMenu : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        std::filesystem::copy_file(TOLVERN_BIN_DIR "/system/scripted.so",
                                   program.Path() + "system/scripted.so");
        settings.WriteIni("[Audio]\nSystem=scripted\n");
        ASSERT_TRUE(Start());
        Audio->Open(fmMdi->Handle());
        Audio->Start();
        ASSERT_TRUE(Audio->Running);
    }
    void TearDown() override {
        ClearFileFailures();
        AppTest::TearDown();
    }
    std::string Path(std::string_view Name) const { return program.Path() + std::string(Name); }

    // A song of two notes on track 0 with an area, saved under Name in the native format.
    std::string SaveSong(std::string_view Name, int Note = 60) {
        Song->Clear();
        _TPart* p = NewPart("Intro", 0, 960, 0);
        InsertPart(Song->TrackAt(0), p);
        AppendEvent(p, NewEvent(0, 0x7F0090u + std::uint32_t(Note << 8)));
        AppendEvent(p, NewEvent(240, 0x000080u + std::uint32_t(Note << 8)));
        fmMdi->Areas.Items = {{"Verse", 0, 960}};
        const std::string path = Path(Name);
        EXPECT_TRUE(SaveSongFile(path));
        return path;
    }
    struct TState {
        std::string Events, FileName;
        std::vector<std::string> Areas, Recent;
        std::string Autoload;
        bool operator==(const TState&) const = default;
    };
    TState State() const {
        TState s{DumpEvents(*Song),
                 Song->FileName,
                 {},
                 fmMdi->RecentFiles,
                 TIniFile().ReadString("Autoload", "Song", "<none>")};
        for (const auto& a : fmMdi->Areas.Items)
            s.Areas.push_back(a.Name);
        return s;
    }
};

// Files of no kind we read, or that cannot be read at all, leave the song and everything
// around it as it was, and the audio system runs again.
TEST_F(FileMenu, AFileThatIsNotReadLeavesEverything) {
    const std::string song = SaveSong("kept.seq");
    const TState before = State();
    ASSERT_EQ(before.Recent, std::vector<std::string>{song});
    ASSERT_EQ(before.Areas, std::vector<std::string>{"Verse"});

    struct Case {
        std::string name, bytes, text, caption;
    };
    std::vector<Case> cases = {
        {"case.seq", ShortString("tolvernseq") + "rest", "Invalid file format (1)", "File error"},
        {"text.seq", "hello there", "Invalid file format (1)", "File error"},
        {"div0.mid", std::string("MThd\0\0\0\6\0\1\0\1\0\0", 14),
         "This is not a standard MIDI file", "Error"},
        {"missing.seq", "", "Open file error", "Open song"}, // not written: cannot be mapped
    };
    // The older versions whose readers are not here yet count as unknown.
    for (const TSongReaderEntry& e : SongReaders())
        if (!e.Reader)
            cases.push_back({std::string(e.Magic) + ".seq", ShortString(e.Magic) + "data",
                             "Invalid file format (1)", "File error"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty()) WriteBytes(Path(c.name), c.bytes);
        gui.Dialogs().Answer(IDOK, c.text);
        EXPECT_FALSE(OpenSong(Path(c.name)));
        const auto boxes = gui.Dialogs().Boxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().Caption, c.caption);
        EXPECT_EQ(boxes.back().Icon, MB_ICONERROR);
        EXPECT_TRUE(State() == before);
        EXPECT_TRUE(Audio->Running);
    }

    // A mapping that fails on an existing file.
    FailNextFileOp(FileOp::Map);
    gui.Dialogs().Answer(IDOK, "Open file error");
    EXPECT_FALSE(OpenSong(song));
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(Audio->Running);
}

// The leading string picks the reader, compared exactly; "MThd" goes to the MIDI file reader.
TEST_F(FileMenu, TheLeadingStringChoosesTheReader) {
    const std::string song = SaveSong("native.seq", 64);
    const std::string events = DumpEvents(*Song);
    static std::vector<std::string> read;
    read.clear();
    TSongReader old = SetSongReader("TolvernSeq", [](std::string_view F) {
        read.emplace_back(F);
        return LoadSongFile(F);
    });
    const std::string mid = Path("other.mid");
    ASSERT_TRUE(WriteSmfFile(mid));

    ASSERT_TRUE(OpenSong(song));
    SetSongReader("TolvernSeq", old);
    EXPECT_EQ(read, std::vector<std::string>{song});
    EXPECT_EQ(DumpEvents(*Song), events);
    EXPECT_FALSE(Song->Untitled);
    EXPECT_FALSE(Song->IsMidiFile);
    EXPECT_EQ(TIniFile().ReadString("Autoload", "Song", ""), song);
    EXPECT_TRUE(Audio->Running);

    ASSERT_TRUE(OpenSong(mid));
    EXPECT_TRUE(Song->IsMidiFile);
    EXPECT_FALSE(Song->Untitled);
    EXPECT_EQ(Song->FileName, "other.mid");
    EXPECT_TRUE(fmMdi->Areas.Items.empty()); // a MIDI file has no areas
    EXPECT_EQ(fmMdi->RecentFiles.front(), mid);
    EXPECT_EQ(TIniFile().ReadString("Autoload", "Song", ""), mid);
}

// A song copied to another name, or moved to another folder, is the file that was opened: the
// caption, the recent files, "Save changes to ...?" and Save name it, never the name it stores.
TEST_F(FileMenu, ACopiedSongIsSavedToItself) {
    const std::string original = SaveSong("song1.seq");
    const std::string originalBytes = ReadBytes(original);
    std::filesystem::create_directory(Path("other"));
    for (const std::string name : {"song3.seq", "other/moved.seq"}) {
        SCOPED_TRACE(name);
        const std::string copy = Path(name);
        std::filesystem::copy_file(original, copy);
        const std::string own = std::filesystem::path(copy).filename().string();
        ASSERT_TRUE(OpenSong(copy));
        EXPECT_EQ(Song->FileName, own);
        ASSERT_NE(fmArrange, nullptr);
        EXPECT_EQ(fmArrange->Caption(), own);
        EXPECT_EQ(fmMdi->RecentFiles.front(), copy);

        Song->TrackAt(0)->Name = "changed";
        Song->Modified = 1;
        gui.Dialogs().Answer(IDYES, "Save changes to " + own + "?");
        fmMdi->New1Click();
        EXPECT_NE(ReadBytes(copy).find("changed"), std::string::npos);
        EXPECT_EQ(ReadBytes(original), originalBytes);
        EXPECT_FALSE(std::filesystem::exists(Path("other/song1.seq")));
    }
}

// Opening while the song plays: stopped, read, and played from the new song's own position.
TEST_F(FileMenu, OpeningWhilePlayingPlaysTheNewSongFromItsPosition) {
    Audio->Stop(); // the saves run the song's deferred actions at once
    SaveSong("first.seq");
    Song->Position = 1920;
    const std::string second = Path("second.seq");
    ASSERT_TRUE(SaveSongFile(second));
    Song->Position = 0;
    Audio->Start();
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    ASSERT_TRUE(OpenSong(second));
    EXPECT_EQ(Song->FileName, "second.seq");
    EXPECT_EQ(Song->State, 2);
    EXPECT_GE(Song->Position, 1920);
    EXPECT_TRUE(Audio->Running);
    fmMdi->StopPlayback(false);
}

// A read that stops half-way keeps what it read, but Save then asks for a name: the file stays
// as it is and becomes neither a recent file nor the autoload song.
TEST_F(FileMenu, APartialReadIsNeverSavedOverItsFile) {
    const std::string seq = SaveSong("whole.seq");
    const std::string mid = Path("whole.mid");
    ASSERT_TRUE(WriteSmfFile(mid));
    fmMdi->RecentFiles.clear();
    TIniFile().WriteString("Autoload", "Song", "before");
    std::size_t boxes = 0, dialogs = 0;
    for (const std::string& file : {seq, mid}) {
        SCOPED_TRACE(file);
        const std::string bytes = ReadBytes(file);
        const std::string cut = bytes.substr(0, bytes.size() - 9);
        WriteBytes(file, cut);
        gui.Dialogs().Answer(IDOK);
        EXPECT_FALSE(OpenSong(file));
        EXPECT_EQ(gui.Dialogs().Boxes().size(), ++boxes);
        EXPECT_TRUE(Song->Untitled);
        EXPECT_TRUE(fmMdi->RecentFiles.empty());
        EXPECT_EQ(TIniFile().ReadString("Autoload", "Song", ""), "before");
        gui.Dialogs().SaveFile("");
        EXPECT_FALSE(fmMdi->Save1Click());
        EXPECT_EQ(gui.Dialogs().FileDialogs().size(), ++dialogs);
        EXPECT_EQ(ReadBytes(file), cut);
        EXPECT_TRUE(Audio->Running);
    }
}

TEST_F(FileMenu, RecentFiles) {
    // Five files from the settings, one missing in the middle: items keep their own numbers.
    fmMdi->RecentFiles.clear();
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(SaveSong("s" + std::to_string(i) + ".seq"));
    fmMdi->RecentFiles.clear();
    for (std::size_t i = 0; i < 5; ++i)
        fmMdi->AddRecentFile(files[i]);
    EXPECT_EQ(fmMdi->lastSaved[0]->Caption, "&1 " + files[4]);
    EXPECT_EQ(fmMdi->lastSaved[4]->Caption, "&5 " + files[0]);
    EXPECT_EQ(fmMdi->lastSaved[4]->Tag, 5);

    // Reopening keeps the old place; the same name in other letters is the same file.
    ASSERT_TRUE(OpenSong(files[2]));
    const auto five = fmMdi->RecentFiles;
    EXPECT_EQ(five[2], files[2]);
    std::string upper = files[1];
    upper.replace(upper.size() - 6, 2, "S1");
    fmMdi->AddRecentFile(upper);
    EXPECT_EQ(fmMdi->RecentFiles, five);

    // A sixth pushes out the oldest.
    ASSERT_TRUE(OpenSong(files[5]));
    EXPECT_EQ(fmMdi->RecentFiles.front(), files[5]);
    EXPECT_EQ(fmMdi->RecentFiles.size(), 5u);
    EXPECT_EQ(fmMdi->RecentFiles.back(), files[1]);

    // A missing entry says so and stays.
    std::filesystem::remove(files[3]);
    const std::string name = Song->FileName;
    gui.Dialogs().Answer(IDOK, "File not found");
    fmMdi->lastSaved[2]->Click();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Open song error");
    EXPECT_EQ(fmMdi->RecentFiles[2], files[3]);
    EXPECT_EQ(Song->FileName, name);

    // An entry that exists opens.
    fmMdi->lastSaved[1]->Click();
    EXPECT_EQ(Song->FileName, "s4.seq");
}

TEST_F(FileMenu, RecentItemsFromTheSettings) {
    // Made again with these settings (closing wrote its own list).
    fmMdi->OnCloseQuery = nullptr;
    fmMdi->Close();
    fmMdi->Free();
    FreeApplicationForms();
    Application->ResetTerminated();
    TIniFile ini;
    ini.WriteString("LastSaved", "File1", "/a.seq");
    ini.WriteString("LastSaved", "File2", "none");
    ini.WriteString("LastSaved", "File3", "/c.seq");
    ASSERT_TRUE(Start());
    EXPECT_EQ(fmMdi->RecentFiles, (std::vector<std::string>{"/a.seq", "/c.seq"}));
    EXPECT_TRUE(fmMdi->lastSaved[0]->Visible);
    EXPECT_EQ(fmMdi->lastSaved[0]->Caption, "&1 /a.seq");
    EXPECT_FALSE(fmMdi->lastSaved[1]->Visible);
    EXPECT_EQ(fmMdi->lastSaved[2]->Caption, "&3 /c.seq");
    EXPECT_EQ(fmMdi->lastSaved[2]->Tag, 2);
    EXPECT_FALSE(fmMdi->lastSaved[3]->Visible);
}

// "Save changes?" Yes, then Save As cancelled: the song stays as it was.
TEST_F(FileMenu, ACancelledSaveKeepsTheSong) {
    const std::string other = SaveSong("other.seq", 70);
    Song->Clear();
    _TPart* p = NewPart("Mine", 0, 960, 0);
    InsertPart(Song->TrackAt(0), p);
    AppendEvent(p, NewEvent(0, 0x7F3C90));
    Song->Untitled = 1;
    Song->Modified = 1;
    const TState before = State();

    gui.Dialogs().Answer(IDYES, "Save changes to ");
    gui.Dialogs().SaveFile("");
    EXPECT_FALSE(OpenSong(other));
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(Song->Modified);

    gui.Dialogs().Answer(IDYES, "Save changes to ");
    gui.Dialogs().SaveFile("");
    fmMdi->New1Click();
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(Song->Modified);
    EXPECT_TRUE(Audio->Running);
    EXPECT_EQ(gui.Dialogs().FileDialogs().size(), 2u);

    // No discards.
    gui.Dialogs().Answer(IDNO, "Save changes to ");
    fmMdi->New1Click();
    EXPECT_EQ(Song->TrackAt(0)->Parts, nullptr);
    EXPECT_TRUE(Song->Untitled);
    EXPECT_FALSE(Song->Modified);
    EXPECT_TRUE(Audio->Running);
}

TEST_F(FileMenu, AppendTakesOnlyAnEmptyTrackAndTheFirstDroppedFile) {
    // A MIDI file of one note, and a path to it longer than 255 characters.
    std::string folder = program.Path();
    while (folder.size() < 300)
        folder += std::string(60, 'd') + "/";
    std::filesystem::create_directories(folder);
    SaveSong("src.seq", 62);
    const std::string mid = folder + "one.mid";
    ASSERT_TRUE(WriteSmfFile(mid));
    fmMdi->New1Click();

    // Onto a track with parts: refused.
    _TPart* p = NewPart("Busy", 0, 960, 0);
    InsertPart(Song->TrackAt(0), p);
    Song->CurrentTrackIndex = 0;
    gui.Dialogs().Answer(IDOK, "Please select an empty MIDI, Audio or Softsynth track");
    fmMdi->Append1Click();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Append");
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Icon, MB_ICONINFORMATION);
    EXPECT_TRUE(gui.Dialogs().FileDialogs().empty());

    // Dropped on the main window: the first file only, by its whole path.
    Song->CurrentTrackIndex = 1;
    TRect r{};
    GetWindowRect(fmMdi->Handle(), &r);
    RouteFileDrop(r.Left + 200, r.Top + 200, {mid, Path("src.seq")});
    gui.Pump();
    ASSERT_NE(Song->TrackAt(1)->Parts, nullptr);
    // (the second, a native song, would have said it is no MIDI file)

    // Append through the dialog shows the MIDI filter only.
    Song->CurrentTrackIndex = 3;
    gui.Dialogs().OpenFile(mid);
    fmMdi->Append1Click();
    ASSERT_EQ(gui.Dialogs().FileDialogs().size(), 1u);
    EXPECT_EQ(gui.Dialogs().FileDialogs()[0].Filter, "MIDI file (*.mid)|*.mid");
    EXPECT_NE(Song->TrackAt(3)->Parts, nullptr);
}

// Bank, program and controllers as they reach a real port.
TEST_F(FileMenu, TrackSetupAndResetSendOnlyWhatFits) {
    Song->Clear();
    for (int i = 0; i < TrackCount; ++i)
        Song->TrackAt(i)->Mode = tmAudio;
    _TTrack* t = Song->TrackAt(0);
    t->Mode = tmMidi;
    t->Output = 0;
    t->Channel = -1;
    t->Bank = 0x20080;
    t->Layout = 32;
    t->Program = 300;
    t->Volume = 300;
    t->Pan = 20;
    _TTrack* u = Song->TrackAt(1);
    u->Mode = tmMidi;
    u->Output = 0;
    u->Channel = 3;
    u->Bank = 2;
    u->Layout = 0;
    u->Program = 5;
    synth.Clear();
    SendTrackSetup();
    std::vector<std::vector<std::uint8_t>> sent;
    for (const auto& s : synth.Sent())
        sent.push_back(s.Bytes);
    EXPECT_EQ(sent,
              (std::vector<std::vector<std::uint8_t>>{{0xB0, 10, 20}, {0xB3, 0, 2}, {0xC3, 5}}));

    synth.Clear();
    fmMdi->MIDIreset1Click();
    sent.clear();
    for (const auto& s : synth.Sent())
        sent.push_back(s.Bytes);
    ASSERT_EQ(sent.size(), 16u + 8u);
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(sent[std::size_t(c)],
                  (std::vector<std::uint8_t>{std::uint8_t(0xB0 + c), 121, 0}));
    EXPECT_EQ(std::vector(sent.begin() + 16, sent.end()),
              (std::vector<std::vector<std::uint8_t>>{{0xB0, 7, 127},
                                                      {0xB0, 10, 64},
                                                      {0xB0, 91, 0},
                                                      {0xB0, 93, 0},
                                                      {0xB3, 7, 127},
                                                      {0xB3, 10, 64},
                                                      {0xB3, 91, 0},
                                                      {0xB3, 93, 0}}));
}

} // namespace

// Songs of the twelve older versions reach their readers through the one opener; one that stops
// at a section its version does not know keeps what it read and leaves the song untitled.
TEST_F(FileMenu, OlderSongsOpenThroughTheirReaders) {
    for (int v = oldsong::V0; v <= oldsong::V3209; ++v) {
        const std::string magic = oldsong::Magic(v);
        SCOPED_TRACE(magic);
        const std::string path = Path(magic + ".seq");
        WriteBytes(path, oldsong::Fixture(v));
        fmMdi->Areas.Items = {{"A", 0, 960}, {"B", 960, 1920}};
        ASSERT_TRUE(OpenSong(path));
        EXPECT_EQ(DumpEvents(*Song), std::string("0 0 0 93 60 100\n0 0 120 83 60 0\n") +
                                         (v >= oldsong::V3204 ? "0 0 130 F0 0 0\n" : "") +
                                         "1 960 960 90 40 127\n1 960 1200 80 40 0\n");
        EXPECT_EQ(Song->FileName, magic + ".seq"); // not the name it stores
        ASSERT_EQ(fmMdi->Areas.Items.size(), 1u);
        EXPECT_EQ(fmMdi->Areas.Items[0].Name, "Verse");
        EXPECT_FALSE(Song->Untitled);
        EXPECT_EQ(fmMdi->RecentFiles.front(), path);
    }
    oldsong::Writer w(oldsong::V3205);
    w.Keyword("Name").Str("kept");
    w.Keyword("Positions");
    const std::string stopped = Path("stopped.seq");
    WriteBytes(stopped, w.Bytes);
    gui.Dialogs().Answer(IDOK, "You need a newer version of Tolvern to read this file");
    EXPECT_FALSE(OpenSong(stopped));
    EXPECT_EQ(Song->FileName, "stopped.seq");
    EXPECT_TRUE(Song->Untitled); // the next Save asks for a name
    EXPECT_NE(fmMdi->RecentFiles.front(), stopped);
}
