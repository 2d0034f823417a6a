#include "app/filemenu.h"

#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/forms/application.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/filehelpers.h"
#include "song/seams.h"
#include "song/smf.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songreaders.h"
#include "song/subengine.h"

#include <algorithm>
#include <exception>

using namespace platform;

namespace {

TFileMenuWindows headlessWindows;
TFileMenuWindows* fileMenuWindows = &headlessWindows;

constexpr std::string_view kOpenFilter =
    "Tolvern file (*.seq)|*.seq|MIDI file (*.mid)|*.mid|Supported files|*.seq;*.mid|All files|*.*";
constexpr std::string_view kAppendFilter = "MIDI file (*.mid)|*.mid";

// Set by the song file host when a reader clears the song to replace it.
bool songReplaced = false;

// The hourglass shows over every window while a reader runs.
class THourglass {
public:
    THourglass() { SetScreenCursor(CursorOf(crHourGlass)); }
    ~THourglass() { SetScreenCursor(0); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

void StartAudio() {
    if (Audio) Audio->Start();
}

// "Save changes to ...?": True when the song may be replaced (nothing to save, No, or saved);
// False when Yes was answered and the song was not written (Save As cancelled, or a failed
// write, which said so).
bool SaveChangesFirst() {
    if (!Song->Modified) return true;
    if (MessageBox("Save changes to " + Song->FileName + "?", "Save song",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return true;
    try {
        return fmMdi->Save1Click();
    } catch (...) {
        Application->ShowException(std::current_exception());
        return false;
    }
}

void FailOpen(std::string_view Text, std::string_view Caption) {
    MessageBox(Text, Caption, MB_OK | MB_ICONERROR);
    // The audio system was stopped for the read: it runs again for the song that stays.
    StartAudio();
}

void StopForFile() {
    if (Midi->Pending || (Audio && Audio->Running)) fmMdi->StopPlayback(true);
}

// The current track takes an appended file only when it is an empty MIDI, audio or softsynth
// track.
bool AppendTrackReady() {
    _TTrack* t = Song->CurrentTrack();
    const bool ok = t && t->Mode >= tmMidi && t->Mode <= tmSoftsynth && !t->Parts;
    if (!ok)
        MessageBox("Please select an empty MIDI, Audio or Softsynth track", "Append",
                   MB_OK | MB_ICONINFORMATION);
    return ok;
}

void AppendFile(const std::string& FileName) {
    if (!MainWindow().PausePlayback()) return;
    {
        THourglass busy;
        ImportSmfTrack(FileName);
    }
    MainWindow().ResumePlayback();
    if (Midi) FileMenuWindows().ShowTempo(Midi->GetTempo());
}

// A controller value as stored goes out only when it is one a controller can carry.
void SendController(int Port, int Channel, int Controller, int Value) {
    if (Value < 0 || Value > 127) return;
    Midi->DirectMidiOut(Port, PackMidiMsg(0xB0 + std::uint32_t(Channel & 15),
                                          std::uint32_t(Controller), std::uint32_t(Value)));
}

TMenuItem* AddItem(TMenuItem* Menu, std::string Caption, std::function<void()> Action,
                   TShortCut Key = 0) {
    auto* item = new TMenuItem(std::move(Caption));
    if (Action) item->OnClick = [Action = std::move(Action)](TMenuItem*) { Action(); };
    item->ShortCut = Key;
    Menu->Add(item);
    return item;
}

void RecentCaption(TMenuItem* Item, int Number, const std::string& Path) {
    Item->Caption = "&" + std::to_string(Number) + " " + Path;
    Item->Visible = true;
}

} // namespace

TFileMenuWindows& FileMenuWindows() {
    return *fileMenuWindows;
}
void SetFileMenuWindows(TFileMenuWindows* Windows) {
    fileMenuWindows = Windows ? Windows : &headlessWindows;
}

// ---- menus ---------------------------------------------------------------------------------

void TfmMdi::InitFileMenu() {
    File1 = AddItem(MainMenu.Items, "&File", nullptr);
    File1->OnClick = [this](TMenuItem*) {
        VirtualAwe1->Visible = VirtualAwe1->Enabled = AweLine->Visible = AweAvailable != 0;
    };
    AddItem(File1, "&New", [this] { New1Click(); });
    AddItem(File1, "&Open...", [this] { Open1Click(); }, ShortCut('O', scCtrl));
    AddItem(File1, "Append...", [this] { Append1Click(); });
    AddItem(File1, "-", nullptr);
    AddItem(File1, "&Save", [this] { Save1Click(); }, ShortCut('S', scCtrl));
    AddItem(File1, "Save &as...", [this] { Saveas1Click(); });
    AddItem(File1, "-", nullptr);
    AddItem(File1, "O&ptions", [this] { Options1Click(); });
    AddItem(File1, "&MIDI reset", [this] { MIDIreset1Click(); });
    AddItem(File1, "S&ync...", [] { ShowSyncDialog(); });
    TMenuItem* workspace = AddItem(File1, "&Workspace", nullptr);
    workspace->Visible = workspace->Enabled = false;
    AweLine = AddItem(File1, "-", nullptr);
    VirtualAwe1 = AddItem(File1, "Virtual A&WE...", [] { MidiEditors().ShowAwe(); },
                          ShortCut(VK_F7));
    AweLine->Visible = VirtualAwe1->Visible = false;
    AddItem(File1, "-", nullptr);
    for (int k = 0; k < 5; ++k) {
        lastSaved[std::size_t(k)] = AddItem(File1, "", nullptr);
        lastSaved[std::size_t(k)]->OnClick = [](TMenuItem* Sender) { OpenRecentFile(Sender); };
        lastSaved[std::size_t(k)]->Visible = false;
    }
    AddItem(File1, "-", nullptr);
    AddItem(File1, "E&xit", [this] { Close(); });

    Help1 = AddItem(MainMenu.Items, "&Help", nullptr);
    Help1->GroupIndex = 9; // after the menus a child window brings (groups 1..8)
    AddItem(Help1, "&Contents", [] { Application->HelpJump("Overview"); });
    AddItem(Help1, "&Hints", [] { Application->HelpJump("Hints"); });
    AddItem(Help1, "&Key shortcuts", [] { Application->HelpJump("Keys"); });
    AddItem(Help1, "-", nullptr);
    AddItem(Help1, "Tolvern Home Page", [] { ShellOpen(std::string(HomePageAddress)); });
    AddItem(Help1, "Send feedback...", [] { ShellOpen(std::string(FeedbackAddress)); });
    AddItem(Help1, "-", nullptr);
    AddItem(Help1, "&About...", [] { ShowAboutBox(); });
    Menu = &MainMenu;

    // The autoload at the end of start-up opens through the full opener.
    ArrangeOpenSong = &OpenSong;
    // Files dropped on the main window come as WM_DROPFILES (WMDropFiles).
    DragAcceptFiles(Handle(), true);
}

void TfmMdi::Open1Click() {
    TFileDialogRequest r;
    r.Title = "Open song";
    r.Filter = std::string(kOpenFilter);
    r.FilterIndex = 3; // "Supported files"
    r.DefaultExt = "seq";
    r.FileMustExist = true;
    if (GetOpenFileName(r)) OpenSong(r.FileName);
}

void TfmMdi::Options1Click() {
    if (!fmOptions) return;
    // The dialog takes the MIDI messages while it is open (a played note becomes the
    // metronome note); the song position and queue messages go on to the main window.
    ShowModalWithMidiWindow(*fmOptions);
}

// ---- new, open, append ---------------------------------------------------------------------

void TfmMdi::New1Click() {
    StopForFile();
    if (!SaveChangesFirst()) {
        StartAudio();
        return;
    }
    Midi->ResetControllers();
    SendTrackSetup(); // the setup of the song being closed
    Song->Clear();
    TFileMenuWindows& w = FileMenuWindows();
    w.SendThru();
    SongFileHost().ClearSamplePool();
    Song->Untitled = 1;
    Song->Modified = 0;
    Song->IsMidiFile = 0;
    w.RepaintTimeSignature();
    w.SongCleared();
    w.CloseEditors();
    ClearAreas();
    FillAreaList();
    MidiEditors().AddDefaultFaders();
    TSoftEngine::UpdateMuteSolo();
    StartAudio();
    w.NotifySoftsynthCount();
}

bool OpenSong(std::string_view FileNameArg) {
    if (!Song || !Midi || !fmMdi) return false;
    // The name may be a recent-file entry that the read replaces.
    const std::string FileName(FileNameArg);
    if (!SaveChangesFirst()) return false;
    const bool wasPlaying = Song->State == 2;
    StopForFile();
    Midi->ResetControllers();

    // The kind of file: the leading string of a native song (any version), else a Standard MIDI
    // File header. The song, its areas and tempo presets stay until a reader replaces them.
    if (!MapFileOpen(FileName)) {
        FailOpen("Open file error", "Open song");
        return false;
    }
    std::string magic;
    MapReadString(magic);
    MapFileClose();
    TSongReader reader = SongReaderFor(magic);
    const bool native = reader != nullptr;
    if (!reader) {
        if (!MapFileOpen(FileName)) {
            FailOpen("Open file error", "Open song");
            return false;
        }
        const auto header = static_cast<std::uint32_t>(MapReadInt32BE());
        MapFileClose();
        if (header != 0x4D546864) { // "MThd"
            FailOpen("Invalid file format (1)", "File error");
            return false;
        }
        reader = &ReadSmfSong;
    }

    songReplaced = false;
    bool whole = false;
    {
        THourglass busy;
        whole = reader(FileName);
    }
    if (!songReplaced) {
        // The reader refused the file before touching the song (it said why).
        StartAudio();
        return false;
    }

    // A read that stopped with a message leaves the song untitled, so that Save asks for a name
    // and never writes the part that was read over the file. The MIDI file reader marks it so
    // itself.
    Song->UnselectAllParts();
    if (native) {
        Song->Untitled = whole ? 0 : 1;
        // Save writes the kind that was read: a native song is no MIDI file, whatever came
        // before it.
        Song->IsMidiFile = 0;
    }
    const bool keep = !Song->Untitled;
    Song->Modified = 0;
    Song->SetCurrentPart(nullptr);
    TFileMenuWindows& w = FileMenuWindows();
    w.CloseEditors();
    SendTrackSetup();
    w.SendThru();
    if (keep) fmMdi->AddRecentFile(FileName);
    fmMdi->FillAreaList();
    w.SongOpened();
    w.RepaintTimeSignature();
    TSoftEngine::UpdateMuteSolo();
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        if (t && t->Mode == tmAudio && !t->Samples.empty() && !t->MixChannel)
            t->MixChannel = new TChannel(16, 128, t->Name, false, 3, t);
    }
    StartAudio();
    if (wasPlaying) fmMdi->StartPlayback(false);
    AudioWindows().RebuildMixer();
    w.NotifySoftsynthCount();
    w.BroadcastTempo();
    fmMdi->Winding = true;
    w.FollowPlayback();
    fmMdi->Winding = false;
    if (keep) TIniFile().WriteString("Autoload", "Song", FileName);
    return whole;
}

// Called by the song file host when a reader clears the song: the areas and the tempo
// presets go with it.
void SongListsCleared() {
    songReplaced = true;
    if (fmMdi) fmMdi->ClearAreas();
    OptionsClearTempo();
}

void TfmMdi::Append1Click() {
    if (!AppendTrackReady()) return;
    TFileDialogRequest r;
    r.Title = "Open song";
    r.Filter = std::string(kAppendFilter);
    r.FilterIndex = 1;
    r.DefaultExt = "seq";
    r.FileMustExist = true;
    if (GetOpenFileName(r)) AppendFile(r.FileName);
}

void TfmMdi::WMDropFiles(std::uintptr_t Drop) {
    // The whole path, however long: a cut name could open another file.
    std::string path;
    const UINT count = DragQueryFile(Drop, 0xFFFFFFFF, nullptr);
    if (count > 0) DragQueryFile(Drop, 0, &path);
    DragFinish(Drop);
    if (count == 0 || !Song) return;
    if (!AppendTrackReady()) return;
    AppendFile(path);
}

// ---- recent files --------------------------------------------------------------------------

void TfmMdi::LoadRecentFiles() {
    TIniFile ini;
    RecentFiles.clear();
    for (int k = 1; k <= 5; ++k) {
        const std::string f = ini.ReadString("LastSaved", "File" + std::to_string(k), "none");
        TMenuItem* item = lastSaved[std::size_t(k - 1)];
        if (f == "none" || f.empty()) {
            item->Visible = false;
            continue;
        }
        RecentFiles.push_back(f);
        RecentCaption(item, k, f);
        item->Tag = int(RecentFiles.size());
    }
}

void TfmMdi::AddRecentFile(std::string_view Path) {
    // A file already in the list keeps its place.
    if (std::any_of(RecentFiles.begin(), RecentFiles.end(),
                    [&](const std::string& s) { return SameText(s, Path); }))
        return;
    RecentFiles.insert(RecentFiles.begin(), std::string(Path));
    if (RecentFiles.size() > 5) RecentFiles.resize(5);
    for (int k = 1; k <= 5; ++k) {
        TMenuItem* item = lastSaved[std::size_t(k - 1)];
        if (!item) continue;
        if (k > int(RecentFiles.size())) {
            item->Visible = false;
            continue;
        }
        RecentCaption(item, k, RecentFiles[std::size_t(k - 1)]);
        item->Tag = k;
    }
}

void OpenRecentFile(TMenuItem* Sender) {
    if (!fmMdi || !Sender) return;
    const int index = Sender->Tag - 1;
    if (index < 0 || index >= int(fmMdi->RecentFiles.size())) return;
    const std::string name = fmMdi->RecentFiles[std::size_t(index)];
    if (!FileExists(name)) {
        MessageBox("File not found", "Open song error", MB_OK | MB_ICONERROR);
        return;
    }
    OpenSong(name);
}

// ---- track setup, MIDI reset, areas --------------------------------------------------------

void SendTrackSetup() {
    if (!Song || !Midi) return;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        if (!t || t->Mode != tmMidi) continue;
        Midi->SendProgramChange(t->Output, t->Channel, t->Bank, t->Program, t->Layout & 255);
        const int ch = Song->TrackChannel(i);
        SendController(t->Output, ch, 7, t->Volume);
        SendController(t->Output, ch, 10, t->Pan);
        SendController(t->Output, ch, 91, t->Reverb);
        SendController(t->Output, ch, 93, t->Chorus);
    }
}

void TfmMdi::MIDIreset1Click() {
    Midi->ResetControllers();
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        if (!t || t->Mode != tmMidi) continue;
        const int ch = Song->TrackChannel(i);
        SendController(t->Output, ch, 7, 127);
        SendController(t->Output, ch, 10, 64);
        SendController(t->Output, ch, 91, 0);
        SendController(t->Output, ch, 93, 0);
    }
}

void TfmMdi::ClearAreas() {
    Areas.Items.clear();
}

void TfmMdi::FillAreaList() {
    std::vector<std::string> names;
    for (const TAreaItem& a : Areas.Items)
        names.push_back(a.Name);
    FileMenuWindows().FillAreaList(names);
}
