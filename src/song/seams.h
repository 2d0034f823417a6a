#pragma once
// What the song model asks of the windows and of the engines that live in their own units.
// Each is a small interface with a headless default that does nothing; the window (or engine)
// installs its own when it is made, and tests install fakes. Installing nil restores the
// default.

#include <cstdint>
#include <string_view>

class TSong;
struct _TPart;
struct _TTrack;
struct TSoftOut;

// The main window, the transport and the arrange window.
class TMainWindowSeam {
public:
    virtual ~TMainWindowSeam() = default;
    // The edit guard around every change of the song; False refuses the edit.
    virtual bool PausePlayback() { return true; }
    virtual void ResumePlayback() {}
    virtual void StopPlayback(bool /*StopAudio*/) {}
    virtual void RefreshMixer() {}
    virtual void RefreshParamEditorIfNoPart() {}
    virtual void RefreshTrackbar() {}
    // All = -1 repaints every part in view, otherwise only parts marked for redraw.
    virtual void PaintParts(int /*All*/) {}
};

// The key editor, the MIDI fader window and the sound-card window.
class TMidiEditorsSeam {
public:
    virtual ~TMidiEditorsSeam() = default;
    virtual void InvalidateViews() {}
    virtual void UpdateEventListScroll() {}
};

// The mixer, the automation editor, the disk-track editor and the sample-part editor.
class TAudioWindowsSeam {
public:
    virtual ~TAudioWindowsSeam() = default;
    virtual void RebuildMixer() {}
    virtual void RebuildParamRows() {}
};

// The engines and lists that the song's creation, new song and destruction reach: the MIDI
// queue, sample voices, undo store, softsynths, buses, editor plug-ins, deferred actions,
// mixer strips, disk samples and the plug-in file lists.
class TSongEngines {
public:
    virtual ~TSongEngines() = default;
    // Engine and AudioEngine (the song makes its undo store itself), the plug-in file lists,
    // SoftEngine, EditorEngine and SubEngine, in that order.
    virtual void CreateEngines(TSong&);   // the default makes the softsynth and bus engines
    virtual void CreateHolders(TSong&) {} // deferred actions, sample pool
    virtual void CreateStrips(TSong&);    // the master and disk-channel strips
    virtual void DestroyAll(TSong&);      // strips, inserts, entries, disk samples, the engines
    virtual void FreeMixChannel(_TTrack&);
    virtual void FreeInserts(TSoftOut&);
    virtual void FreeAutoPlugs(_TTrack&);
    virtual void ClearTodos(TSong&) {}
    virtual void ClearSoftsynths(); // TSoftEngine.Clear
    virtual void ClearBuses();
    virtual void ClearMidiQueue(TSong&) {}
    virtual void ClearSampleVoices(TSong& S); // TAudioEngine.Clear
    virtual void ResetSoftsynthQueues();      // TSoftEngine.ResetQueues
    // Opens a step of the song's undo store (the default does just that).
    virtual void BeginUndo(TSong&, int Kind, std::string_view Caption);
    virtual void ResetMasterStrip(TSong&);
    virtual void FreeDiskSamples(TSong& S);
    // A deferred action: frees the disk samples no part uses (on the renderer's thread while
    // the audio system runs).
    virtual void PurgeDiskSamples(TSong& S);
    // Editor plug-ins hear of the current part (command 5).
    virtual void BroadcastCurrentPart(_TPart*, int /*NotMidi*/) {}
};

TMainWindowSeam& MainWindow();
void SetMainWindow(TMainWindowSeam* Seam);
TMidiEditorsSeam& MidiEditors();
void SetMidiEditors(TMidiEditorsSeam* Seam);
TAudioWindowsSeam& AudioWindows();
void SetAudioWindows(TAudioWindowsSeam* Seam);
TSongEngines& SongEngines();
void SetSongEngines(TSongEngines* Seam);
