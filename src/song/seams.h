#pragma once
// What the song model asks of the windows and of the engines that live in their own units.
// Each is a small interface with a headless default that does nothing; the window (or engine)
// installs its own when it is made, and tests install fakes. Installing nil restores the
// default.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The sound card's effect lists in the sound-card window.
constexpr int aweReverb = 0, aweChorus = 1, aweBass = 2, aweTreble = 3;

// The key editor, the MIDI fader window and the sound-card window. Headless there are no fader
// rows and no sound-card window.
class TMidiEditorsSeam {
public:
    virtual ~TMidiEditorsSeam() = default;
    virtual void InvalidateViews() {}
    virtual void UpdateEventListScroll() {}
    // Fader window: frees every row; appends a row for Controller (-3 pitch bend, -2 program
    // change, 0-127 a controller) and lays the panel out again as AddDefaultFaders does; the
    // default rows; each row's controller in order.
    virtual void ClearFaders() {}
    virtual void AddFader(int /*Controller*/) {}
    virtual void AddDefaultFaders() {}
    virtual std::vector<int> FaderControllers() { return {}; }
    // Sound-card window: whether it exists, showing it, the selected entry of each list
    // (aweReverb ...; setting one sends nothing to the card), and the flag that makes the next
    // show take the selections from the card.
    virtual bool AweWindowExists() { return false; }
    virtual void ShowAwe() {}
    virtual int AweListIndex(int /*List*/) { return -1; }
    virtual void SetAweListIndex(int /*List*/, int /*Index*/) {}
    virtual void SetAweTakeFromCard(bool /*Take*/) {}
    // The card's named banks, and the named presets of one bank, as "%0.3d" number, a blank
    // and the name.
    virtual void AweListBanks(std::vector<std::string>& /*Lines*/) {}
    virtual void AweListPresets(int /*Bank*/, std::vector<std::string>& /*Lines*/) {}
};

// The sound card's AWE manager library is loaded and opened: set by the AWE window's creation,
// 0 until then (no window offers the card).
extern std::uint8_t AweAvailable;

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
    virtual void CreateEngines(TSong&);   // the default makes the lists and engines above
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
    virtual void BroadcastCurrentPart(_TPart* Part, int NotMidi);
};

TMainWindowSeam& MainWindow();
void SetMainWindow(TMainWindowSeam* Seam);
TMidiEditorsSeam& MidiEditors();
void SetMidiEditors(TMidiEditorsSeam* Seam);
TAudioWindowsSeam& AudioWindows();
void SetAudioWindows(TAudioWindowsSeam* Seam);
TSongEngines& SongEngines();
void SetSongEngines(TSongEngines* Seam);
