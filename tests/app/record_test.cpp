// Recording headless: MIDI input recorded into the current track from the left locator and
// undone, the record part made between the locators, and audio takes into the song's sample
// pool and the recording pool (the capture itself is the device tests').
#include "arrange_fixture.h"

#include "app/recordseams.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/window/input.h"
#include "song/disk.h"
#include "song/undo.h"

#include <filesystem>
#include <fstream>

using namespace platform;

namespace {

class Recording : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        Song->TrackAt(0)->Mode = tmMidi;
        a->ActiveControl = nullptr;
        gui.Pump();
    }
    void TearDown() override {
        if (Song) fmMdi->StopPlayback(false);
        SampleRecordSeams() = {};
        ArrangeTest::TearDown();
    }
    std::vector<std::pair<int, int>> PartsOf(int Track) const {
        std::vector<std::pair<int, int>> r;
        for (_TPart* p = Song->TrackAt(Track)->Parts; p; p = p->Next)
            r.push_back({p->Start, p->Length});
        return r;
    }
    static int EventCount(const _TPart* P) {
        int n = 0;
        for (const _TEvent* e = P->Events; e; e = e->Next)
            ++n;
        return n;
    }
    TVirtualMidiIn keys{"Keys"};
};

TEST_F(Recording, MidiInputFillsANewPartBetweenTheLocatorsAndUndoGivesItBackEmpty) {
    int memory = 500;
    const int id = AddRecordReset([&] { memory = -1; });
    Song->LeftLocator = 960;
    Song->RightLocator = 2880;
    gui.Key(VK_MULTIPLY);
    RemoveRecordReset(id);
    EXPECT_EQ(memory, -1) << "the live-recording memories start again";
    ASSERT_EQ(Song->State, 1);
    _TPart* part = Song->RecordPart;
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(PartsOf(0), (std::vector<std::pair<int, int>>{{960, 1920}}));
    EXPECT_EQ(Song->CurrentPart, part);
    EXPECT_TRUE(part->Flags & pfSelected);
    EXPECT_EQ(Song->Position, 960);

    gui.Key(VK_MULTIPLY); // Record while recording: nothing
    EXPECT_EQ(Song->RecordPart, part);
    gui.Advance(100);
    keys.Send({0x90, 60, 100});
    gui.Advance(200);
    keys.Send({0x80, 60, 0});
    gui.Advance(100);
    gui.Key(VK_SPACE);
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(EventCount(part), 2);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo record");

    a->UndoClick();
    ASSERT_NE(Song->TrackAt(0)->Parts, nullptr);
    EXPECT_EQ(EventCount(Song->TrackAt(0)->Parts), 0);
    EXPECT_EQ(PartsOf(0), (std::vector<std::pair<int, int>>{{960, 1920}}));

    fmMdi->StartPlayback(false); // Record while playing: nothing
    const std::vector<std::pair<int, int>> before = PartsOf(0);
    Song->LeftLocator = 4800;
    Song->RightLocator = 5760;
    gui.Key(VK_MULTIPLY);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(PartsOf(0), before);
}

TEST_F(Recording, TheRecordPartEndsWhereTheNextPartBegins) {
    for (bool lone : {false, true}) {
        for (_TPart* p = Song->TrackAt(0)->Parts; p; p = Song->TrackAt(0)->Parts)
            DeletePart(Song->TrackAt(0), p);
        if (!lone) AddPart(0, 0, 480);
        AddPart(0, 1200, 480);
        Song->LeftLocator = 960;
        Song->RightLocator = 2880;
        RecordPunchIn();
        ASSERT_EQ(Song->State, 1);
        EXPECT_EQ(Song->RecordPart->Start, 960) << lone;
        EXPECT_EQ(Song->RecordPart->Length, 240) << lone;
        fmMdi->StopPlayback(false);
    }
}

TEST_F(Recording, TheTransportBarsRecordButtonStartsIt) {
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    gui.Advance(1000);
    gui.Click(fmMdi->paintTransp->ClientToScreen({50, 10}));
    EXPECT_EQ(Song->State, 1);
}

TEST_F(Recording, ADiskTrackNeedsASampleOfTheSong) {
    Song->TrackAt(0)->Mode = tmDisk;
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    gui.Dialogs().Answer(IDOK, "No sample is created - Can't record");
    RecordPunchIn();
    EXPECT_EQ(Song->State, 0);
    auto* sample = new TDiskSample;
    sample->Internal = 0;
    Song->DiskSamples.push_back(sample);
    Song->TrackAt(0)->Parts->Sample = 0;
    gui.Dialogs().Answer(IDOK, "Sample is not internal - Can't record");
    RecordPunchIn();
    EXPECT_EQ(Song->State, 0);
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].Caption, "Record");
}

// Audio takes on an audio track; the capture counts as open.
class AudioTake : public Recording {
protected:
    void SetUp() override {
        Recording::SetUp();
        Song->TrackAt(0)->Mode = tmAudio;
        Audio->CaptureOpen = true;
        SampleRecordSeams().SetRecDown = [this](bool Down) { recDown.push_back(Down); };
        SampleRecordSeams().EnableRecordControls = [this](bool On) { controls.push_back(On); };
        Midi->SetTempo(120);
    }
    void TearDown() override {
        if (Audio) Audio->CaptureOpen = false;
        Recording::TearDown();
    }
    _TPart* Part(int Start, int Length) {
        _TPart* p = AddPart(0, Start, Length);
        Song->SetCurrentPart(p);
        return p;
    }
    int PoolCount() const { return Song->SamplePool->Items.Count(); }
    std::vector<bool> recDown, controls;
};

TEST_F(AudioTake, ANewSampleANoteAcrossTheTakeAndItsUndo) {
    _TPart* p = Part(0, 960);
    Song->Position = 0;
    const int pool = PoolCount();
    RecordPunchIn();
    ASSERT_EQ(PoolCount(), pool + 1);
    EXPECT_EQ(Song->SamplePool->Items.GetItem(pool)->Name(), "Rec");
    ASSERT_EQ(Song->TrackAt(0)->Samples.size(), 1u);
    EXPECT_EQ(Song->TrackAt(0)->Samples[0]->Index, pool);
    ASSERT_EQ(EventCount(p), 2);
    EXPECT_EQ(p->Events->Delta, 0);
    EXPECT_EQ(p->Events->Msg, PackMidiMsg(0x20, 0, 127) | (63u << 24));
    EXPECT_EQ(p->Events->Next->Delta, 959);
    EXPECT_EQ(p->Events->Next->Msg & 0xFFFF, 0x0030u);
    TWave* take = Audio->RecordWave;
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->Size(), 352800) << "960 ticks at 120 BPM, 44.1 kHz 16-bit stereo";
    EXPECT_EQ(recDown, std::vector<bool>{true});
    EXPECT_EQ(controls, std::vector<bool>{false});
    EXPECT_EQ(Song->State, 2);
    EXPECT_TRUE(fmMdi->AudioRecord);
    fmMdi->StopPlayback(false);
    EXPECT_EQ(Song->UndoStore->Kind, ukRecordNew);

    a->UndoClick();
    EXPECT_EQ(PoolCount(), pool);
    EXPECT_TRUE(Song->TrackAt(0)->Samples.empty());
    EXPECT_EQ(EventCount(Song->TrackAt(0)->Parts), 0);
}

TEST_F(AudioTake, WithTheLoopOnTheTakeEndsBeforeTheRightLocator) {
    Part(0, 1920);
    Song->LoopOn = 1;
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    Song->Position = 240;
    EXPECT_EQ(fmMdi->TakeStartTick(), 240);
    EXPECT_EQ(fmMdi->TakeEndTick(), 959);
    Song->LoopOn = 0;
    EXPECT_EQ(fmMdi->TakeEndTick(), 1919);
}

TEST_F(AudioTake, EveryRefusalSaysWhyAndChangesNothing) {
    struct Case {
        const char* text;
        const char* caption;
        int mode;
    };
    const int pool = PoolCount();
    Song->TrackAt(0)->Samples.push_back(std::make_unique<TSample>());
    gui.Dialogs().Answer(IDOK, "Please select or create a part to record into");
    fmMdi->StartAudioRecord(0, nullptr, -1);
    _TPart* p = Part(960, 960);
    Song->Position = 0;
    gui.Dialogs().Answer(IDOK, "Can't record outside part");
    fmMdi->StartAudioRecord(0, nullptr, -1);
    Song->Position = 960;
    gui.Dialogs().Answer(IDOK, "Please select a sample");
    fmMdi->StartAudioRecord(1, nullptr, 0);
    gui.Dialogs().Answer(IDOK, "Please select a sample");
    fmMdi->StartAudioRecord(2, Song->TrackAt(0)->Samples[0].get(), 0); // pool index -1
    Audio->CaptureOpen = false;
    gui.Dialogs().Answer(IDOK, "Audio recording is not enabled");
    fmMdi->StartAudioRecord(0, nullptr, -1);
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 5u);
    const char* captions[] = {"Record", "Record", "Recorrd", "Recorrd", "Record"};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i].Caption, captions[i]) << boxes[i].Text;
    EXPECT_EQ(PoolCount(), pool);
    EXPECT_EQ(EventCount(p), 0);
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(recDown, (std::vector<bool>{false, false, false}));
}

TEST_F(AudioTake, PoolTakesAreNumberedFilesAndAFailedSaveIsReported) {
    Part(0, 960);
    Song->Position = 0;
    const std::filesystem::path pool = std::filesystem::path(ProgramFolder()) / "recpool";
    std::filesystem::remove_all(pool);
    auto take = [&] {
        fmMdi->StartAudioRecord(3, nullptr, -1);
        fmMdi->StopPlayback(false);
        SendMessage(fmMdi->Handle(), WM_AUDIORECORDDONE, 0, 0);
    };
    take();
    EXPECT_TRUE(std::filesystem::exists(pool / "Rec001.wav")) << "the folder is made";
    std::ofstream(pool / "Rec002.wav") << "x";
    take();
    EXPECT_TRUE(std::filesystem::exists(pool / "Rec003.wav"));
    EXPECT_EQ(Audio->RecordWave.load(), nullptr) << "the audio object holds no take";
    EXPECT_EQ(Song->TrackAt(0)->Samples.size(), 0u) << "the song does not change";

    // Without a current part the take is still saved; a save that fails is reported.
    controls.clear();
    fmMdi->StartAudioRecord(3, nullptr, -1);
    fmMdi->StopPlayback(false);
    Song->SetCurrentPart(nullptr);
    SendMessage(fmMdi->Handle(), WM_AUDIORECORDDONE, 0, 0);
    EXPECT_TRUE(std::filesystem::exists(pool / "Rec004.wav"));
    Song->SetCurrentPart(Song->TrackAt(0)->Parts);
    fmMdi->StartAudioRecord(3, nullptr, -1);
    fmMdi->StopPlayback(false);
    FailNextFileOp(FileOp::Create);
    FailNextFileOp(FileOp::OpenWrite);
    gui.Dialogs().Answer(IDOK, "could not be saved");
    SendMessage(fmMdi->Handle(), WM_AUDIORECORDDONE, 0, 0);
    ClearFileFailures();
    EXPECT_FALSE(std::filesystem::exists(pool / "Rec005.wav"));
    EXPECT_EQ(controls, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(Audio->RecordWave.load(), nullptr);
}

} // namespace
