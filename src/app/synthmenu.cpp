// The softsynth menu and the GUI side of the plug-ins.
#include "app/synthmenu.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/vst2.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"

#include <sys/stat.h>

#include <utility>

using namespace platform;

std::vector<std::string> SynthMenuPaths;

namespace {

// A folder as the file system names it: stored separators converted, and a folder of the
// program's own (lower case on disk) found whatever case its stored name has.
std::string NativeFolder(const std::string& Folder) {
    std::string folder = ExcludeTrailingPathDelimiter(ToNativePath(Folder));
    if (!folder.empty() && !DirectoryExists(folder)) {
        const std::string found = FindFileNoCase(ExtractFilePath(folder), ExtractFileName(folder));
        if (!found.empty()) folder = found;
    }
    return folder;
}

bool IsLibrary(std::string_view Name) {
    return SameText(ExtractFileExt(Name), ".so");
}

std::string WithoutExt(std::string_view Name) {
    return ChangeFileExt(ExtractFileName(Name), "");
}

using TFolderId = std::pair<dev_t, ino_t>;

class TScan {
public:
    TScan(std::vector<std::string>& Paths, const std::function<void(TMenuItem*)>& OnClick)
        : paths_(Paths), onClick_(OnClick) {}

    int Walk(TMenuItem* Parent, const std::string& Folder) {
        struct stat st;
        if (::stat(Folder.c_str(), &st) != 0) return 0;
        const TFolderId id{st.st_dev, st.st_ino};
        for (const TFolderId& above : walking_)
            if (above == id) return 0; // a link back up the path: the loop ends here
        std::vector<TDirEntry> entries;
        if (!ListDirectory(Folder, entries)) return 0;
        walking_.push_back(id);
        const std::string dir = IncludeTrailingPathDelimiter(Folder);
        int added = 0;
        for (const TDirEntry& e : entries) {
            if (!e.IsDir) continue;
            auto* sub = new TMenuItem(e.Name);
            if (Walk(sub, dir + e.Name) > 0) {
                Append(Parent, sub);
                ++added;
            } else {
                delete sub;
            }
        }
        for (const TDirEntry& e : entries) {
            if (e.IsDir || !IsLibrary(e.Name)) continue;
            auto* item = new TMenuItem(WithoutExt(e.Name), onClick_);
            item->Tag = int(paths_.size());
            Append(Parent, item);
            paths_.push_back(dir + e.Name);
            ++added;
        }
        walking_.pop_back();
        return added;
    }

private:
    static void Append(TMenuItem* Parent, TMenuItem* Item) {
        Parent->Add(Item);
        const int index = Parent->Count() - 1;
        if (index > 0 && index % 30 == 0) Item->Break = mbBreak;
    }

    std::vector<std::string>& paths_;
    const std::function<void(TMenuItem*)>& onClick_;
    std::vector<TFolderId> walking_;
};

class TCursorScope {
public:
    TCursorScope() { SetScreenCursor(CursorOf(crHourGlass)); }
    ~TCursorScope() { SetScreenCursor(0); }
    TCursorScope(const TCursorScope&) = delete;
    TCursorScope& operator=(const TCursorScope&) = delete;
};

// One idle pass of a VST plug-in with an open editor.
void IdleCalls(TMFX& Plugin) {
    if (!Plugin.Loaded || Plugin.Kind != 1 || !Plugin.EditorOpen) return;
    Plugin.Dispatch(effEditIdle);
    EmptyHook();
    if (Plugin.WantsIdle.load()) {
        Plugin.Dispatch(effIdle);
        EmptyHook();
    }
}

} // namespace

int ScanLibraryFolder(TMenuItem* Parent, const std::string& Folder, std::vector<std::string>& Paths,
                      const std::function<void(TMenuItem*)>& OnClick) {
    return TScan(Paths, OnClick).Walk(Parent, NativeFolder(Folder));
}

int ScanSynthFolder(TMenuItem* Parent, const std::string& Folder) {
    static const std::function<void(TMenuItem*)> click = [](TMenuItem* Sender) {
        const std::size_t i = std::size_t(Sender->Tag);
        if (i < SynthMenuPaths.size()) InsertSoftsynth(SynthMenuPaths[i]);
    };
    return ScanLibraryFolder(Parent, Folder, SynthMenuPaths, click);
}

void TfmMdi::DetachSynthMenu() {
    if (!PopupSynth) return;
    TMenuItem* root = PopupSynth->Items;
    if (TMenuItem* shownIn = root->Parent()) shownIn->Remove(root);
}

void TfmMdi::InstallSynthMenu() {
    Application->OnIdle = VstEditorIdle;
    BuildSynthMenu();
}

void TfmMdi::BuildSynthMenu() {
    TCursorScope hourglass;
    if (!PopupSynth) {
        PopupSynth = std::make_unique<TPopupMenu>();
        PopupSynth->Name = "PopupSynth";
        PopupSynth->OnPopup = [this](TPopupMenu*) { PopupSynthPopup(); };
    }
    std::string folder;
    if (Song) Song->SynthFolder(folder);
    DetachSynthMenu();
    SynthMenuPaths.clear();
    TMenuItem* root = PopupSynth->Items;
    root->Clear();
    auto* recent = new TMenuItem("Recent");
    recent->Tag = -999;
    root->Add(recent);
    const int added = folder.empty() ? 0 : ScanSynthFolder(root, folder);
    root->Caption = "Add";
    if (added == 0) {
        auto* empty = new TMenuItem("Empty");
        empty->Enabled = false;
        root->Add(empty);
    }
}

void TfmMdi::PopupSynthPopup() {
    if (!PopupSynth) return;
    TMenuItem* root = PopupSynth->Items;
    TMenuItem* recent = nullptr;
    for (int i = 0; i < root->Count() && !recent; ++i)
        if (root->Items(i)->Tag == -999) recent = root->Items(i);
    if (!recent) return;
    recent->Clear();
    const std::vector<std::string> names =
        SoftEngine ? SoftEngine->Recent : std::vector<std::string>{};
    recent->Visible = !names.empty();
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto* it = new TMenuItem(WithoutExt(ToNativePath(names[i])), [](TMenuItem* Sender) {
            const std::size_t n = std::size_t(Sender->Tag);
            if (SoftEngine && n < SoftEngine->Recent.size())
                InsertSoftsynth(std::string(SoftEngine->Recent[n]));
        });
        it->Tag = int(i);
        recent->Add(it);
    }
    if (names.empty()) {
        auto* empty = new TMenuItem("Empty");
        empty->Enabled = false;
        recent->Add(empty);
    }
}

void InsertSoftsynth(const std::string& FileName) {
    TCursorScope hourglass;
    if (!Song || !SoftEngine || !fmMdi) return;
    {
        TEditGuard guard(fmMdi);
        if (!guard) return;
        _TTrack* track = Song->CurrentTrack();
        const int output = SoftEngine->Count();
        if (track) track->Output = output;
        TSoftItem* item = SoftEngine->AddSoftsynth(FileName);
        if (Midi && item) {
            const bool thru = fmArrange && fmArrange->btnThru && fmArrange->btnThru->Down;
            Midi->SetMThru(thru, output, Song->CurrentChannel(), Song->CurrentTrackIndex,
                           item->Plugin.get());
        }
        SoftEngine->AddRecent(FileName);
    }
    TTransportWindows& w = TransportWindows();
    w.BuildOutputMenus();
    w.RepaintTrackList();
    TSoftEngine::UpdateMuteSolo();
    fmMdi->RefreshMixer();
    fmMdi->NotifySoftsynthCount();
    w.ToggleSynthEditor();
}

void EmptyHook() {}

void VstEditorIdle(TObject* /*Sender*/, bool& /*Done*/) {
    if (Paused) return;
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            if (item && item->Plugin) IdleCalls(*item->Plugin);
    if (SubEngine)
        for (TSub* bus : SubEngine->VstBuses)
            if (bus && bus->Plugin) IdleCalls(*bus->Plugin);
}

void TfmMdi::BroadcastTempo() {
    if (!Midi) return;
    const int tempo = Midi->Tempo.load();
    // A plug-in that is not loaded (a group-volume bus has none) answers -1 and hears nothing.
    auto tell = [tempo](TMFX* Plugin) {
        if (Plugin) Plugin->Command(3, tempo, 0); // MFX_TEMPO
    };
    if (SubEngine) {
        for (TSub* bus : SubEngine->Buses)
            if (bus) tell(bus->Plugin);
        for (TSub* bus : SubEngine->MasterBuses)
            if (bus) tell(bus->Plugin);
    }
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            if (item) tell(item->Plugin.get());
}

void TfmMdi::NotifySoftsynthCount() {
    if (!SoftEngine) return;
    for (TSoftItem* item : SoftEngine->Items)
        if (item && item->Plugin) item->Plugin->Command(16, SoftEngine->Count(), 0);
}

void TTransportWindows::NotifySoftsynthCount() {
    if (fmMdi) fmMdi->NotifySoftsynthCount();
}

void TfmMdi::ToggleSoftsynthEditor(int Index) {
    if (!SoftEngine || Index < 0 || Index >= SoftEngine->Count()) return;
    TSoftItem* item = SoftEngine->GetItem(Index);
    if (!item || !item->Editor) return;
    const HWND h = SoftsynthWindows().EditorHandle(item->Editor);
    if (!h) return;
    if (IsWindowVisible(h))
        SoftsynthWindows().HideEditor(item->Editor);
    else
        SoftsynthWindows().ShowEditorWindow(*item); // built at its first showing
}

void TfmMdi::ToggleMixer() {
    if (MdiHooks().ToggleMixerVisible) MdiHooks().ToggleMixerVisible();
}

void TfmMdi::RefreshMixer() {
    AudioWindows().RebuildMixer();
}

void TfmMdi::RefreshParamEditor() {
    AudioWindows().RebuildParamRows();
}

void TfmMdi::RefreshParamEditorIfNoPart() {
    if (Song && !Song->CurrentPart) RefreshParamEditor();
}
