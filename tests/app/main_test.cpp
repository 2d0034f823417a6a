// The main window's start-up and shut-down, headless: temporary program and settings folders,
// one virtual MIDI input and output, message boxes and dialogs answered by script.
#include "app/app_fixture.h"
#include "app/arrange.h"
#include "app/main.h"

#include "app/cursors.h"
#include "devices/audio.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/thunk.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/window.h"
#include "song/seams.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"
#include "songdump/dump.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace platform;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> r;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        r.push_back(l);
    return r;
}

class Startup : public AppTest {};

TEST_F(Startup, CreatesEverythingInOrderAndClosesCleanly) {
    std::filesystem::remove_all(program.Path() + "synth");
    std::filesystem::remove_all(program.Path() + "editor");
    std::filesystem::create_directory(program.Path() + "Synth");
    ASSERT_TRUE(Start());
    ASSERT_NE(fmMdi, nullptr);
    EXPECT_TRUE(InitDone);

    const auto log = Lines(program.ReadFile("runtimelog.txt"));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].rfind("Tolvern run-time log ", 0), 0u);
    EXPECT_EQ(log[1], "");
    const std::vector<std::string> tail = {"MIDI object created...",
                                           "Window client frame removed...",
                                           "Transporter GUI created...",
                                           "Folders checked...",
                                           "Show main window...",
                                           "MIDI Message Handle set...",
                                           "MIDI Sysex check done...",
                                           "Open MIDI devices done...",
                                           "Set tempo done...",
                                           "Sync done...",
                                           "Registering hot keys done...",
                                           "Initialization done..."};
    ASSERT_GE(log.size(), 4 + tail.size());
    EXPECT_EQ(log[2], "Song object created...");
    EXPECT_EQ(log[3], "Audio object created...");
    EXPECT_EQ(log[4], "MIDI devices: in x 1 out x 1...");
    EXPECT_EQ(std::vector<std::string>(log.end() - long(tail.size()), log.end()), tail);

    // Folders made when missing; one that exists in other letters is not made again.
    for (const char* f : {"fx", "editor", "gui", "system"})
        EXPECT_TRUE(std::filesystem::is_directory(program.Path() + f)) << f;
    EXPECT_FALSE(std::filesystem::exists(program.Path() + "synth"));

    EXPECT_TRUE(fmMdi->Visible);
    EXPECT_EQ(fmMdi->GetFormStyle(), fsMDIForm);
    EXPECT_EQ(GetWindowLongPtr(fmMdi->ClientHandle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    // The maximised frame's client area is painted all over in the main background colour.
    TRect client{};
    GetClientRect(fmMdi->ClientHandle(), &client);
    EXPECT_GT(client.Width(), 900);
    EXPECT_EQ(gui.Pixel(fmMdi->ClientHandle(), client.Width() - 3, client.Height() - 3), 0x1F1F1Fu);
    gui.SavePng(fmMdi->Handle(), "main-window.png");
    EXPECT_EQ(Song->SyncToAudio.load(), 0); // the multimedia back end
    EXPECT_EQ(MidiMode, 1);
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
    EXPECT_TRUE(fmMdi->systemTimer.Enabled);

    gui.Dialogs().Answer(IDYES, "Are you sure?");
    fmMdi->Close();
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u); // an unmodified song is not offered for saving
    EXPECT_EQ(boxes[0].Caption, "Exit Tolvern");
    EXPECT_EQ(boxes[0].Buttons, MB_YESNO);
    EXPECT_EQ(boxes[0].Icon, MB_ICONQUESTION);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Song, nullptr);
    EXPECT_EQ(Midi, nullptr);
    EXPECT_EQ(Audio, nullptr);
    EXPECT_EQ(SBLive, nullptr);
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "1");
    fmMdi->Free();
}

TEST_F(Startup, WithoutTheEngineLibraryNothingStarts) {
    std::filesystem::remove(program.Path() + "MidiEngine.DLL");
    gui.Dialogs().Answer(IDOK, "Missing file midiengine.dll");
    MixerClosed = false; // nothing at all is to be written
    EXPECT_FALSE(Start());
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Icon, MB_ICONERROR);
    EXPECT_EQ(fmMdi, nullptr);
    EXPECT_FALSE(std::filesystem::exists(program.Path() + "runtimelog.txt"));
    EXPECT_EQ(settings.IniText(), "");
}

TEST_F(Startup, RecordSysexRecordsTheInputsSystemExclusive) {
    settings.WriteIni("[MIDI]\nRecordSysex=1\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Midi->InPort);
    EXPECT_TRUE(Midi->InPort->RecordSysex);
    EXPECT_GE(keys.OpenCount(), 1);
}

TEST_F(Startup, AppearanceDefaultsAndStoredValues) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(fmMdi->FontName, "Arial");
    EXPECT_EQ(fmMdi->FontSize, 8);
    EXPECT_EQ(fmMdi->FontStyle, 0u);
    EXPECT_EQ(fmMdi->FontBkColor, TColor(0x8000000F));
    EXPECT_EQ(fmMdi->MainBkColor, 0x1F1F1F);
    EXPECT_EQ(fmMdi->ControlBkColor, 0x1F1F1F);
    EXPECT_EQ(fmMdi->ControlTextColor, 0xC0C0C0);
    EXPECT_EQ(fmMdi->LoopBkColor, 0xC0C0C0);
    EXPECT_EQ(fmMdi->Part3d, 24);
    EXPECT_EQ(fmMdi->PartsSelectedColor, 0xADD6D6);
    EXPECT_EQ(fmMdi->LedColor, 0x50A0A0);
    EXPECT_TRUE(fmMdi->AreaNames);
    EXPECT_FALSE(fmMdi->UseBitmap);
    EXPECT_TRUE(fmMdi->LedActive);
}

TEST_F(Startup, AppearanceReadsEveryKey) {
    settings.WriteIni("[Options]\nAreaNames=0\n"
                      "[Global]\nFontName=Liberation Sans\nFontSize=11\nFontStyle=5\n"
                      "FontColor=255\nFontBkColor=2147483663\n"
                      "[Song edit]\nLedColor=1\nPartsSelectedColor=2\n"
                      "[Background]\nUseBitmap=1\nMain=3\n"
                      "[Layout]\nControlBkColor=4\nControlTextColor=-2147483633\n"
                      "ColumnSeparator=6\nLoopBkColor=7\nPart3d=40\n");
    ASSERT_TRUE(Start());
    EXPECT_FALSE(fmMdi->AreaNames);
    EXPECT_EQ(fmMdi->FontName, "Liberation Sans");
    EXPECT_EQ(fmMdi->FontSize, 11);
    EXPECT_EQ(fmMdi->FontStyle, TFontStyles(fsBold | fsUnderline));
    EXPECT_EQ(fmMdi->FontColor, 255);
    EXPECT_EQ(fmMdi->FontBkColor, TColor(0x8000000F)); // the unsigned spelling
    EXPECT_EQ(fmMdi->LedColor, 1);
    EXPECT_EQ(fmMdi->PartsSelectedColor, 2);
    EXPECT_TRUE(fmMdi->UseBitmap);
    EXPECT_EQ(fmMdi->MainBkColor, 3);
    EXPECT_EQ(fmMdi->Color, 3);
    EXPECT_EQ(fmMdi->ControlBkColor, 4);
    EXPECT_EQ(fmMdi->ControlTextColor, TColor(0x8000000F));
    EXPECT_EQ(fmMdi->ColumnSeparator, 6);
    EXPECT_EQ(fmMdi->LoopBkColor, 7);
    EXPECT_EQ(fmMdi->Part3d, 40);
}

TEST_F(Startup, NoKeepsTheProgramRunningAndAsksNothingElse) {
    ASSERT_TRUE(Start());
    Song->Modified = 1;
    gui.Dialogs().Answer(IDNO, "Are you sure?");
    fmMdi->Close();
    EXPECT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_FALSE(Application->Terminated());
    EXPECT_NE(Song, nullptr);
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
}

// Yes to saving, then Save As cancelled: the song would be lost, so the window stays.
TEST_F(Startup, ACancelledSaveKeepsTheWindowAndTheSong) {
    ASSERT_TRUE(Start());
    Song->Modified = 1;
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    gui.Dialogs().Answer(IDYES, "Save changes to Undefined.seq?");
    gui.Dialogs().SaveFile("");
    fmMdi->Close();
    EXPECT_FALSE(Application->Terminated());
    ASSERT_NE(Song, nullptr);
    EXPECT_TRUE(Song->Modified);
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
    const auto files = gui.Dialogs().FileDialogs();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].FilterIndex, 1);
}

TEST_F(Startup, AChosenNameIsWrittenAndTheWindowCloses) {
    settings.WriteIni("[Directory]\nSong=" + program.Path() + "\n");
    ASSERT_TRUE(Start());
    Song->Modified = 1;
    const std::string target = program.Path() + "mine.seq";
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    gui.Dialogs().Answer(IDYES, "Save changes to Undefined.seq?");
    gui.Dialogs().SaveFile(target, 1);
    fmMdi->Close();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(gui.Dialogs().FileDialogs().at(0).InitialDir, program.Path());
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "1");
    EXPECT_EQ(Setting("LastSaved", "File1"), target);
    fmMdi->Free();
}

TEST_F(Startup, SaveAsChoosesTheWriterByExtensionThenFilter) {
    ASSERT_TRUE(Start());
    struct Case {
        const char* name;
        int filter;
        bool midi;
    } cases[] = {{"a.seq", 2, false}, {"b.MID", 1, true}, {"c.txt", 2, true}, {"d.txt", 1, false}};
    for (const Case& c : cases) {
        const std::string path = program.Path() + c.name;
        gui.Dialogs().SaveFile(path, c.filter);
        EXPECT_TRUE(fmMdi->Saveas1Click()) << c.name;
        // The writers settle the final name; the one file of that stem is what was written.
        std::string head;
        const std::string stem = std::string(c.name).substr(0, 2);
        for (const auto& e : std::filesystem::directory_iterator(program.Path()))
            if (e.path().filename().string().rfind(stem, 0) == 0)
                head = program.ReadFile(e.path().filename().string());
        ASSERT_GE(head.size(), 4u) << c.name;
        EXPECT_EQ(head.substr(0, 4) == "MThd", c.midi) << c.name;
    }
}

// Save As never replaces a file without asking, also where the writer settles another name;
// No goes back to the dialog with the name chosen.
TEST_F(Startup, SaveAsAsksBeforeReplacingAFile) {
    ASSERT_TRUE(Start());
    const std::string mid = program.Path() + "tune.mid";
    ASSERT_TRUE(WriteSmfFile(mid)); // as if read from it: Save As offers it, as a MIDI file
    ASSERT_NE(fmArrange, nullptr);
    EXPECT_EQ(fmArrange->Caption(), "tune.mid") << "a save names the file it wrote";
    const std::string original = program.ReadFile("tune.mid");
    Song->BeatsPerBar = 3;
    gui.Dialogs().SaveFile(mid).Answer(IDNO, "tune.mid already exists. Do you want to replace it?");
    gui.Dialogs().SaveFile("");
    EXPECT_FALSE(fmMdi->Saveas1Click());
    EXPECT_EQ(program.ReadFile("tune.mid"), original);
    auto files = gui.Dialogs().FileDialogs();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].FileName, "tune.mid");
    EXPECT_EQ(files[0].FilterIndex, 2);
    EXPECT_EQ(files[1].FileName, mid) << "back in the dialog with the name";
    const RecordedBox box = gui.Dialogs().Boxes().back();
    EXPECT_EQ(box.Caption, "Save song");
    EXPECT_EQ(box.Icon, MB_ICONWARNING);
    EXPECT_EQ(box.Buttons, MB_YESNO);

    // "other.txt" in the song filter is written as "other.txt.seq": that is the file asked for.
    program.WriteFile("other.txt.seq", "keep");
    gui.Dialogs().SaveFile(program.Path() + "other.txt", 1);
    gui.Dialogs().Answer(IDNO, "other.txt.seq already exists.").SaveFile("");
    EXPECT_FALSE(fmMdi->Saveas1Click());
    EXPECT_EQ(program.ReadFile("other.txt.seq"), "keep");

    gui.Dialogs().SaveFile(mid).Answer(IDYES, "tune.mid already exists.");
    EXPECT_TRUE(fmMdi->Saveas1Click());
    EXPECT_NE(program.ReadFile("tune.mid"), original);
}

// With 16-bit thunking the engine library is used unless the one parameter is "Win2k".
TEST_F(Startup, WinTwoKParameterChoosesTheMultimediaBackEnd) {
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/midiengine.dll",
                               program.Path() + "midiengine.dll");
    std::filesystem::remove(program.Path() + "MidiEngine.DLL");
    SetHas16BitThunking(true);
    struct Case {
        std::vector<std::string> args;
        int mode;
    } cases[] = {{{}, 0}, {{"Win2k"}, 1}, {{"win2k"}, 0}, {{"Win2k", "x"}, 0}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Start(c.args));
        EXPECT_EQ(MidiMode, c.mode) << testing::PrintToString(c.args);
        EXPECT_EQ(Midi->Mode(), c.mode);
        EXPECT_EQ(Song->SyncToAudio.load(), c.mode == 0 ? 1 : 0);
        Quit();
    }
    SetHas16BitThunking(false);
}

class ThrowingEngines : public TSongEngines {
public:
    void CreateEngines(TSong&) override { throw std::runtime_error("No engines here"); }
};

TEST_F(Startup, AStepThatThrowsEndsTheStart) {
    ThrowingEngines engines;
    SetSongEngines(&engines);
    gui.Dialogs().Answer(IDOK, "No engines here.");
    gui.Dialogs().Answer(IDOK, "Tolvern could not initialize properly. Shutting down...");
    EXPECT_FALSE(Start());
    SetSongEngines(nullptr);
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Icon, MB_ICONERROR);
    EXPECT_EQ(boxes[1].Caption, "Startup error");
    EXPECT_EQ(boxes[1].Icon, MB_ICONERROR);
    EXPECT_FALSE(InitDone);
    EXPECT_FALSE(dlgSplach->Visible);
    // The log stops where the start stopped.
    EXPECT_EQ(program.ReadFile("runtimelog.txt").find("Song object created"), std::string::npos);
}

TEST_F(Startup, AFailedWriteWhileClosingKeepsTheWindowAndTheSong) {
    ASSERT_TRUE(Start());
    Song->Modified = 1;
    const std::string before = DumpSong(*Song);
    const std::string target = program.Path() + "mine.seq";
    gui.Dialogs().AllowUnexpectedBoxes(); // the writer's own report of the failure
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    gui.Dialogs().Answer(IDYES, "Save changes to Undefined.seq?");
    gui.Dialogs().SaveFile(target, 1);
    FailNextFileOp(FileOp::Write);
    fmMdi->Close();
    ClearFileFailures();
    EXPECT_FALSE(Application->Terminated());
    ASSERT_NE(Song, nullptr);
    EXPECT_TRUE(Song->Modified);
    EXPECT_EQ(DumpSong(*Song), before);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
}

TEST_F(Startup, SkinAndKeyCursors) {
    std::filesystem::remove_all(program.Path() + "skin");
    std::filesystem::create_directory_symlink(TOLVERN_BIN_DIR "/skin", program.Path() + "skin");
    settings.WriteIni("[skin]\nfilename=" + program.Path() + "skin/testskin.so\n");
    ASSERT_TRUE(Start());
    EXPECT_NE(fmMdi->Skin, nullptr);
    EXPECT_EQ(fmMdi->SkinName, "testskin.so");
    for (int n : {crKeyInsert, crKeyStep}) {
        const CursorImage* image = FindCursorImage(CursorOf(n));
        ASSERT_NE(image, nullptr) << n;
        TBitmap b;
        b.LoadFromFile(image->path);
        EXPECT_EQ(b.Width(), 32);
        EXPECT_EQ(b.Canvas().Pixel(0, 0), 0); // transparent
        EXPECT_EQ(image->hotSpot.X, 1);
        EXPECT_EQ(image->hotSpot.Y, 30);
    }
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    fmMdi->Close();
    EXPECT_EQ(SkinBinding().Skin, nullptr);
    EXPECT_FALSE(SkinBinding().SkinLoaded);
}

// Counts the audio callback's blocks and notes one that ran without the MIDI object.
class CountingHooks : public TAudioHooks {
public:
    void SetPeaks(const float*, int) override {
        if (!Midi) ++WithoutMidi;
        ++Blocks;
    }
    std::atomic<int> Blocks{0}, WithoutMidi{0};
};

TEST_F(Startup, EmergencyQuitStopsTheDriverBeforeFreeingMidi) {
    std::filesystem::remove_all(program.Path() + "system");
    std::filesystem::create_directory_symlink(TOLVERN_BIN_DIR "/system", program.Path() + "system");
    setenv("TOLVERN_WAVE_FILE", (program.Path() + "out.wav").c_str(), 1);
    settings.WriteIni("[Audio]\nSystem=wavefile\nFrames=256\n[LastSaved]\nFile1=a.seq\n");
    ASSERT_TRUE(Start());
    CountingHooks hooks;
    SetAudioHooks(&hooks);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    ASSERT_TRUE(Audio->Running);
    for (int i = 0; i < 200 && hooks.Blocks < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(hooks.Blocks, 4) << "the real-time driver runs";

    fmMdi->EmergencyQuit();
    const int blocks = hooks.Blocks;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(hooks.Blocks, blocks) << "no block after the quit";
    EXPECT_EQ(hooks.WithoutMidi, 0);
    EXPECT_EQ(Midi, nullptr);
    EXPECT_EQ(Audio, nullptr);
    EXPECT_TRUE(Application->Terminated());
    // The audio object wrote its own settings as it went; nothing else was written.
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
    EXPECT_EQ(TIniFile().ReadSectionValues("LastSaved"),
              (std::vector<std::pair<std::string, std::string>>{{"File1", "a.seq"}}));
    SetAudioHooks(nullptr);
    // The run ends without closing the main window.
    fmMdi->Free();
    unsetenv("TOLVERN_WAVE_FILE");
}

} // namespace
