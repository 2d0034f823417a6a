#pragma once
// The main window's File and Help menus: a new song, opening a song of any kind through one
// dispatcher, appending a Standard MIDI File to an empty track (also by dropping it on the main
// window), the five most recent files, the MIDI reset and the help entries. The readers and
// writers themselves are the song model's; these commands decide which one runs and what is
// refreshed around it.

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class TMenuItem;
}

// What the file commands and the options window ask of windows built elsewhere: the arrange
// window, the editors, the transport bar, the plug-in menus and the small dialogs. Every default
// does nothing (the window does not exist); each window's owner installs its part.
class TFileMenuWindows {
public:
    virtual ~TFileMenuWindows() = default;
    // The key, sample-part, automation and disk-track editors close when they exist.
    virtual void CloseEditors() {}
    // The arrange window (when it exists) sends the thru setting of the current track.
    virtual void SendThru() {}
    // The arrange window after a song was read: track list, ruler and parts repainted, tempo
    // field := the MIDI object's tempo, track settings bar, solo button up, tempo pop-up rebuilt,
    // caption := the song's file name.
    virtual void SongOpened() {}
    // The arrange window after New: caption, ruler, parts, track list, track settings bar.
    virtual void SongCleared() {}
    // The arrange window's area list: emptied, its field disabled, these names added in order.
    virtual void FillAreaList(const std::vector<std::string>& /*Names*/) {}
    // The arrange window rebuilds its tempo preset menu from the options window's presets.
    virtual void BuildTempoPopup() {}
    // The tempo fields of the arrange window and the key editor show Bpm.
    virtual void ShowTempo(int /*Bpm*/) {}
    // The arrange window scrolls to the song position.
    virtual void FollowPlayback() {}
    // The transport bar: its time-signature field, its metronome button.
    virtual void RepaintTimeSignature() {}
    virtual void RepaintMetronomeButton() {}
    // The plug-in menus: the softsynth count and the tempo go to the plug-ins.
    virtual void NotifySoftsynthCount() {}
    virtual void BroadcastTempo() {}
    // After the outputs of tracks or the open outputs changed: the arrange window's track list
    // and track settings bar, and (Outputs) its output menus and the key editor's.
    virtual void RepaintTrackList() {}
    virtual void RefreshTrackbar() {}
    virtual void BuildOutputMenus() {}
};
TFileMenuWindows& FileMenuWindows();
void SetFileMenuWindows(TFileMenuWindows* Windows); // nil restores the default

// Where the Help menu's web entries lead.
inline constexpr std::string_view HomePageAddress = "https://tolvern.org/";
inline constexpr std::string_view FeedbackAddress = "mailto:feedback@tolvern.org";

// Replaces the song with the file's, whatever kind it is (recognised by its leading string or a
// Standard MIDI File header), and refreshes the windows around it. A file that cannot be read or
// is of no kind we know leaves the song as it was and says so. True when the whole file was
// read.
bool OpenSong(std::string_view FileName);
// A recent-file item of the File menu was chosen.
void OpenRecentFile(platform::TMenuItem* Sender);
// The song file host's answer when a reader clears the song to replace it: the song's areas and
// the tempo presets go with it (the file refills them).
void SongListsCleared();
// Bank, program, volume, pan, reverb and chorus of every MIDI track go out at once.
void SendTrackSetup();
