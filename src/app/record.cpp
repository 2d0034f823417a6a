// Recording: the Record command (MIDI input into a part of the current track from the left
// locator), audio takes from the capture device into a sample of the song's pool, and the end
// of a take (a take in the recording pool is written as "RecNNN.wav").
#include "app/arrange.h"
#include "app/arrangetransport.h"
#include "app/editcommands.h"
#include "app/main.h"
#include "app/recordseams.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/mixkernels.h"
#include "editors/midi/key.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/core/paths.h"
#include "platform/forms/buttons.h"
#include "song/disk.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/undo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

using namespace platform;

TSampleRecordSeams& SampleRecordSeams() {
    static TSampleRecordSeams seams;
    return seams;
}

namespace {

std::map<int, std::function<void()>>& RecordResets() {
    static std::map<int, std::function<void()>> resets;
    return resets;
}

template <class... A> void Run(const std::function<void(A...)>& Hook, A... Args) {
    if (Hook) Hook(Args...);
}

// The pool sample a slot names; nil when it names none.
TWaveCollectionItem* PoolItem(const TSample* Slot) {
    if (!Slot || !Song->SamplePool) return nullptr;
    const int index = Slot->Index;
    if (index < 0 || index >= Song->SamplePool->Items.Count()) return nullptr;
    return Song->SamplePool->Items.GetItem(index);
}

// The note of a take: on at the take's start, off at its end, for sample slot Slot.
void InsertTakeNote(TfmMdi& M, _TPart* Part, int Slot) {
    _TEvent* on = NewEvent(M.TakeStartTick(), PackMidiMsg(0x20, std::uint32_t(Slot), 127) |
                                                  (std::uint32_t(63) << 24));
    on->Flags |= efRedraw;
    _TEvent* off = NewEvent(M.TakeEndTick(), PackMidiMsg(0x30, std::uint32_t(Slot), 0));
    _TPart* p = Part;
    InsertEvent(p, on);
    p = Part;
    InsertEvent(p, off);
}

// The recording pool's folder under the program folder, made when missing; its name is matched
// without regard to case.
std::filesystem::path RecordPoolFolder() {
    const std::filesystem::path root = ProgramFolder();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root, ec)) {
        std::string name = e.path().filename().string();
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (name == "recpool" && e.is_directory(ec)) return e.path();
    }
    std::filesystem::create_directories(root / "recpool", ec);
    return root / "recpool";
}

// The first free "RecNNN.wav" of the folder (at least three digits), matched without case.
std::filesystem::path FreeTakeName(const std::filesystem::path& Folder) {
    std::error_code ec;
    std::vector<std::string> taken;
    for (const auto& e : std::filesystem::directory_iterator(Folder, ec)) {
        std::string name = e.path().filename().string();
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        taken.push_back(name);
    }
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "Rec%03d.wav", n);
        std::string lower = name;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (std::find(taken.begin(), taken.end(), lower) == taken.end()) return Folder / name;
    }
}

// Disk tracks: the record part must name a disk sample that belongs to the song.
bool DiskTargetReady(const _TPart* Part) {
    const int index = Part->Sample;
    if (index < 0 || index >= int(Song->DiskSamples.size()) || !Song->DiskSamples[index]) {
        MessageBox("No sample is created - Can't record", "Record", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (Song->DiskSamples[index]->Internal != 1) {
        MessageBox("Sample is not internal - Can't record", "Record", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    // The song's output is not written into disk samples (they are read from their files).
    MessageBox("Recording the song's output into a disk track is not supported", "Record",
               MB_OK | MB_ICONINFORMATION);
    return false;
}

} // namespace

int AddRecordReset(std::function<void()> Reset) {
    static int next = 0;
    RecordResets()[++next] = std::move(Reset);
    return next;
}

void RemoveRecordReset(int Id) {
    RecordResets().erase(Id);
}

void RunRecordResets() {
    for (auto& [id, reset] : RecordResets())
        if (reset) reset();
}

void RecordPunchIn() {
    if (!Song || !fmMdi || Song->State != 0) return;
    _TTrack* track = Song->CurrentTrack();
    if (!track) return;
    if (track->Mode == tmAudio) {
        fmMdi->StartAudioRecord(0, nullptr, -1);
        return;
    }
    RunRecordResets();
    if (fmKey && fmKey->EditMode == 2) { // step input ends
        fmKey->sbDefault->Down = true;
        fmKey->EditMode = 0;
    }
    TTransportWindows& w = TransportWindows();
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = Song->LeftLocator.load();
    w.MovePlayCursor(Song->Position, true, false);
    w.PaintSongPosition();
    Song->UnselectAllParts();
    if (Song->PrepareRecordPart() && Song->RecordPart &&
        (track->Mode != tmDisk || DiskTargetReady(Song->RecordPart))) {
        TUndo& u = *Song->UndoStore;
        u.Begin(ukRecord, "Undo record");
        u.AddPart(CopyPart(Song->RecordPart));
        const int left = Song->LeftLocator;
        {
            // The locate must see the recording state, and no block may render meanwhile.
            TRendererHold hold;
            Song->State = 1;
            Song->Locate(left, true);
            Song->StartMidiEngine(left);
            if (Song->Engine) Song->FeedMidiEngine(*Song->Engine);
        }
        if (Audio) Audio->NotifyRecording(true);
        if (Midi) Midi->Record(left, left, Song->RightLocator, Song->Looping);
    } else if (Song->RecordPart && track->Mode == tmDisk) {
        Song->RecordPart = nullptr;
    }
    if (fmArrange) fmArrange->arrange->Invalidate();
}

int TfmMdi::TakeStartTick() const {
    return Song->CurrentPart ? Song->Position - Song->CurrentPart->Start : 0;
}

int TfmMdi::TakeEndTick() const {
    const _TPart* p = Song->CurrentPart;
    if (!p) return 0;
    const int left = Song->LeftLocator, right = Song->RightLocator;
    if (Song->LoopOn && Song->Position < right && left < right) {
        if (static_cast<long long>(p->Start) + p->Length < right) return p->Length - 1;
        return right - p->Start - 1;
    }
    return p->Length - 1;
}

TSample* TfmMdi::PrepareAudioTake(_TPart* Part, TSample* Sample, int Slot) {
    _TTrack* track = Song->TrackAt(Part->Track);
    TUndo& u = *Song->UndoStore;
    TSampleRecordSeams& seams = SampleRecordSeams();
    TEditCommandSeams& views = EditCommandSeams();
    switch (Audio->RecordMode) {
    case 0: {
        TSample* slot = nullptr;
        {
            TRendererHold hold; // the slots and the pool grow
            TWaveCollectionItem* item = Song->SamplePool->Items.Add();
            item->SetName("Rec");
            auto made = std::make_unique<TSample>();
            made->Index = item->Index();
            slot = made.get();
            track->Samples.push_back(std::move(made));
            Slot = int(track->Samples.size()) - 1;
            u.Begin(ukRecordNew, "Undo record");
            u.AddPart(SnapshotPart(Part));
            u.Arg1 = item->Index();
            u.Arg2 = Slot;
            InsertTakeNote(*this, Part, Slot);
        }
        Run(views.SampleView);
        Run(views.SampleList);
        Run(seams.UpdateRowScrollRange);
        return slot;
    }
    case 1:
    case 2: {
        TWaveCollectionItem* item = PoolItem(Sample);
        if (!item) return Sample;
        TRendererHold hold;
        u.Begin(ukRecordOver, "Undo record");
        u.AddPart(SnapshotPart(Part));
        u.Arg1 = Sample->Index;
        u.Name = item->Name();
        auto copy = std::make_unique<TUndoWave>();
        copy->Wave.Assign(&item->Wave);
        u.Extra = std::move(copy);
        // The slot's old notes go; the take's note takes their place.
        EventsToAbsolute(Part);
        for (_TEvent* e = Part->Events; e; e = e->Next)
            if (int(MidiData1(e->Msg)) == Slot)
                e->Flags |= efSelected;
            else
                e->Flags &= ~efSelected;
        EventsToDelta(Part);
        DeleteSelectedEvents(Part);
        InsertTakeNote(*this, Part, Slot);
        Run(views.SampleView);
        return Sample;
    }
    default:
        return Sample;
    }
}

void TfmMdi::StartAudioRecord(int RecMode, TSample* Sample, int Slot) {
    if (!Song || !Audio) return;
    TSampleRecordSeams& seams = SampleRecordSeams();
    _TPart* part = Song->CurrentPart;
    if (!part) {
        MessageBox("Please select or create a part to record into", "Record", MB_OK);
        return;
    }
    const int pos = Song->Position;
    if (pos < part->Start || pos >= static_cast<long long>(part->Start) + part->Length) {
        MessageBox("Can't record outside part. Please set the song position inside the part",
                   "Record", MB_OK | MB_ICONINFORMATION);
        Run(seams.SetRecDown, false);
        return;
    }
    _TTrack* track = Song->TrackAt(part->Track);
    Audio->RecordMode = RecMode;
    if (track->Samples.empty() && RecMode != 0 && RecMode != 3) Audio->RecordMode = 0;
    // Replace and overdub need a slot that names a pool sample.
    if ((Audio->RecordMode == 1 || Audio->RecordMode == 2) && !PoolItem(Sample)) {
        Run(seams.SetRecDown, false);
        MessageBox("Please select a sample", "Recorrd", MB_OK);
        return;
    }
    if (!Audio->CaptureOpen) {
        MessageBox("Audio recording is not enabled", "Record", MB_OK);
        return;
    }
    Run(seams.SetRecDown, true);
    if (Song->State != 0) StopPlayback(false);
    TSample* slot = PrepareAudioTake(part, Sample, Slot);
    const int length = TakeEndTick() - TakeStartTick() + 1;
    Audio->MainWnd = Handle();
    const TWaveFormat& f = Audio->CaptureFormat;
    const int bytes = MsToBytes(int(f.nSamplesPerSec), f.wBitsPerSample, f.nChannels,
                                TicksToMs(length));
    {
        TRendererHold hold; // the pool sample's wave is remade
        TWaveCollectionItem* item = PoolItem(slot);
        switch (Audio->RecordMode) {
        case 2: {
            TWave copy;
            copy.Assign(&item->Wave);
            Audio->PrepareRecordWave(bytes, &item->Wave);
            TWaveFormatHead head;
            if (copy.Data() && copy.FormatHead(head))
                MixSampleInt16(copy.Data(), reinterpret_cast<std::int16_t*>(item->Wave.Data()), 0,
                               0, -1,
                               MakePcmFormat(head.Channels, int(head.SamplesPerSec),
                                             head.BitsPerSample),
                               copy.Size(), item->Wave.Size(), 127, 63);
            break;
        }
        case 3:
            Audio->PrepareRecordWave(bytes, nullptr);
            break;
        default:
            Audio->PrepareRecordWave(bytes, item ? &item->Wave : nullptr);
            break;
        }
    }
    Run(seams.EnableRecordControls, false);
    Song->UpdateSampleChannel(part->Track);
    TSoftEngine::UpdateMuteSolo();
    AudioWindows().RebuildMixer();
    StartPlayback(true);
}

void TfmMdi::WMAudioRecordDone() {
    if (!Audio) return;
    TSampleRecordSeams& seams = SampleRecordSeams();
    // The take ends also without a current part: a pool take is saved, the panel comes back.
    if (Audio->RecordMode == 3) {
        TWave* wave = Audio->RecordWave.exchange(nullptr);
        if (wave) {
            const std::filesystem::path file = FreeTakeName(RecordPoolFolder());
            try {
                wave->SaveToFile(file.string());
                Run(seams.RefreshFileList);
            } catch (const std::exception& e) {
                MessageBox("The take could not be saved as " + file.string() + ": " + e.what(),
                           "Record", MB_OK | MB_ICONERROR);
            }
            delete wave; // handed over with the message: the audio object holds it no more
        }
    }
    TEditCommandSeams& views = EditCommandSeams();
    Run(views.SampleList);
    Run(views.SampleView);
    Run(seams.SetRecDown, false);
    Run(seams.EnableRecordControls, true);
}
