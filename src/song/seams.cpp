#include "song/seams.h"

#include "devices/audio.h"
#include "devices/meditor.h"
#include "devices/mfx.h"
#include "song/automation.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/undo.h"

std::uint8_t AweAvailable = 0;

namespace {

TMainWindowSeam headlessMain;
TMidiEditorsSeam headlessMidiEditors;
TAudioWindowsSeam headlessAudioWindows;
TSongEngines headlessEngines;

TMainWindowSeam* mainWindow = &headlessMain;
TMidiEditorsSeam* midiEditors = &headlessMidiEditors;
TAudioWindowsSeam* audioWindows = &headlessAudioWindows;
TSongEngines* songEngines = &headlessEngines;

} // namespace

TMainWindowSeam& MainWindow() {
    return *mainWindow;
}
void SetMainWindow(TMainWindowSeam* Seam) {
    mainWindow = Seam ? Seam : &headlessMain;
}
TMidiEditorsSeam& MidiEditors() {
    return *midiEditors;
}
void SetMidiEditors(TMidiEditorsSeam* Seam) {
    midiEditors = Seam ? Seam : &headlessMidiEditors;
}
TAudioWindowsSeam& AudioWindows() {
    return *audioWindows;
}
void SetAudioWindows(TAudioWindowsSeam* Seam) {
    audioWindows = Seam ? Seam : &headlessAudioWindows;
}
TSongEngines& SongEngines() {
    return *songEngines;
}
void SetSongEngines(TSongEngines* Seam) {
    songEngines = Seam ? Seam : &headlessEngines;
}

void TSongEngines::BeginUndo(TSong& S, int Kind, std::string_view Caption) {
    if (S.UndoStore) S.UndoStore->Begin(Kind, Caption);
}

void TSongEngines::CreateEngines(TSong&) {
    CreatePluginFileLists();
    CreateSoftEngine();
    CreateEditorEngine();
    CreateSubEngine();
}

void TSongEngines::BroadcastCurrentPart(_TPart* Part, int NotMidi) {
    if (EditorEngine)
        EditorEngine->Broadcast(ME_PART, reinterpret_cast<std::intptr_t>(Part), NotMidi);
}

void TSongEngines::CreateStrips(TSong& S) {
    if (!S.MasterChannel)
        S.MasterChannel =
            new TChannel(StripLabelWidth, StripLabelHeight, "Master", false, ckMaster, &S);
    if (!S.DiskChannel)
        S.DiskChannel =
            new TChannel(StripLabelWidth, StripLabelHeight, "Disk channels", false, ckDisk, &S);
}

void TSongEngines::DestroyAll(TSong& S) {
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack& t = *S.Tracks[static_cast<std::size_t>(i)];
        FreeMixChannel(t);
        for (TSoftOut& slot : t.Outputs)
            FreeInserts(slot);
        FreeAutoPlugs(t);
    }
    for (TSoftOut& slot : S.DiskOutputs)
        FreeInserts(slot);
    delete S.DiskChannel;
    S.DiskChannel = nullptr;
    delete S.MasterChannel;
    S.MasterChannel = nullptr;
    FreeDiskSamples(S);
    DestroyPluginFileLists();
    DestroyEditorEngine();
    DestroySoftEngine();
    DestroySubEngine();
}

void TSongEngines::FreeMixChannel(_TTrack& T) {
    delete T.MixChannel;
    T.MixChannel = nullptr;
}

void TSongEngines::FreeInserts(TSoftOut& Slot) {
    FreeSlotInserts(Slot);
}

void TSongEngines::FreeAutoPlugs(_TTrack& T) {
    if (T.AutoPlugs.empty()) return;
    std::vector<TAutoPlug*> gone;
    {
        // The renderer reaches entries through their plug-ins' links.
        TRendererHold hold;
        gone.swap(T.AutoPlugs);
        for (TAutoPlug* entry : gone)
            if (entry->Plugin && entry->Plugin->AutoLink == entry)
                entry->Plugin->AutoLink = nullptr;
    }
    for (TAutoPlug* entry : gone)
        delete entry;
}

void TSongEngines::FreeDiskSamples(TSong& S) {
    S.ClearDiskSamples();
}

void TSongEngines::PurgeDiskSamples(TSong& S) {
    S.PurgeDiskSamples();
}

void TSongEngines::ClearBuses() {
    if (SubEngine) SubEngine->Clear();
}

void TSongEngines::ResetMasterStrip(TSong& S) {
    if (S.MasterChannel) S.MasterChannel->Show = 0;
}

void TSongEngines::ClearSoftsynths() {
    if (SoftEngine) SoftEngine->Clear();
}

void TSongEngines::ResetSoftsynthQueues() {
    if (SoftEngine) SoftEngine->ResetQueues();
}
