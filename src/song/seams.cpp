#include "song/seams.h"

#include "song/softengine.h"
#include "song/song.h"
#include "song/undo.h"

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
    CreateSoftEngine();
}

void TSongEngines::DestroyAll(TSong&) {
    DestroySoftEngine();
}

void TSongEngines::ClearSoftsynths() {
    if (SoftEngine) SoftEngine->Clear();
}

void TSongEngines::ResetSoftsynthQueues() {
    if (SoftEngine) SoftEngine->ResetQueues();
}
