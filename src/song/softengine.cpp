// The softsynth list: making, loading, reordering and freeing softsynths, the recent list in
// tolvern.ini, the plug-in folders and the small song operations of the same module.
#include "song/softengine.h"

#include "devices/audio.h"
#include "devices/inport.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "song/automation.h"
#include "song/render.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <array>
#include <utility>

TSoftEngine* SoftEngine = nullptr;

namespace {

TSoftsynthWindows headlessWindows;
TSoftsynthWindows* windows = &headlessWindows;
TSoftEngine* songEngine = nullptr; // the one the song made (and frees)

constexpr const char* RecentSection = "RecentSoftsynths";
constexpr int MaxSoftsynthSlots = 4096;

// Softsynth numbers are list positions here as everywhere (events a plug-in emits name their
// receivers by them); one whose plug-in is not loaded has no name to give.
TMFX* LoadedSoftsynth(int Index) {
    TSoftItem* item = SoftEngine ? SoftEngine->GetItem(Index) : nullptr;
    return item && item->Plugin->Loaded ? item->Plugin.get() : nullptr;
}

// The folder a plug-in kind is searched in: the set path, else the program's own folder.
std::string PluginFolder(const std::string& SetPath, const char* Folder) {
    std::string s = SetPath.empty() ? platform::ProgramFolder() + Folder + "\\" : SetPath;
    if (s.empty() || s.back() != '\\') s += '\\';
    return s;
}

// Looks for a plug-in file's name (as stored, or as the library it stands for) below Folder.
bool FindPlugin(std::string& FileName, const std::string& Folder) {
    std::string native = platform::ToNativePath(Folder);
    std::string folder = platform::ExcludeTrailingPathDelimiter(native);
    // The program's folders are lower case on disk, whatever case their stored names have.
    if (!platform::DirectoryExists(folder)) {
        std::string parent = platform::ExtractFilePath(folder);
        std::string found = platform::FindFileNoCase(parent, platform::ExtractFileName(folder));
        if (!found.empty()) folder = found;
    }
    const std::string name = platform::ExtractFileName(platform::ToNativePath(FileName));
    for (std::string candidate :
         {name, platform::ExtractFileName(platform::LibraryFileName(name))}) {
        if (candidate.empty()) continue;
        if (FindFileInTree(candidate, folder)) {
            FileName = candidate;
            return true;
        }
    }
    return false;
}

bool PluginFileExists(const std::string& FileName) {
    return platform::FileExists(platform::ToNativePath(FileName)) ||
           !platform::ResolveLibraryPath(FileName).empty() || platform::IsFakeLibraryName(FileName);
}

} // namespace

TSoftsynthWindows& SoftsynthWindows() {
    return *windows;
}
void SetSoftsynthWindows(TSoftsynthWindows* Windows) {
    windows = Windows ? Windows : &headlessWindows;
}

namespace {
std::function<bool(const std::string&)> pluginSearch;
}
void SetPluginSearch(std::function<bool(const std::string& FileName)> Search) {
    pluginSearch = std::move(Search);
}
bool TSoftsynthWindows::SearchPlugin(const std::string& FileName) {
    return pluginSearch && pluginSearch(FileName);
}

// ---- TSoftItem ----

TSoftItem::TSoftItem() : Plugin(std::make_unique<TMFX>()), Queue(std::make_unique<TSoftQ>()) {
    Editor = SoftsynthWindows().CreateEditor(Plugin.get(), false);
    EditorWnd = SoftsynthWindows().EditorHandle(Editor);
    for (int i = 0; i < OutputSlotCount; ++i) {
        TSoftOut& slot = Outputs[static_cast<std::size_t>(i)];
        ResetSoftOut(slot, i);
        slot.Gain = 0.0f; // until the mute and solo rule runs
    }
    for (std::size_t i = 0; i < EventRecords.size(); ++i)
        EventBlock.events[i] = reinterpret_cast<VstEvent*>(&EventRecords[i]);
}

TSoftItem::~TSoftItem() {
    TSoftsynthWindows& w = SoftsynthWindows();
    if (Editor) w.HideEditor(Editor);
    Queue.reset();
    if (Plugin) Plugin->Unload();
    Plugin.reset();
    if (Editor) w.FreeEditor(Editor);
    Editor = nullptr;
    delete Channel;
    Channel = nullptr;
    for (TSoftOut& slot : Outputs)
        FreeSlotInserts(slot);
}

// ---- TSoftEngine ----

TSoftEngine::TSoftEngine() {
    platform::TIniFile ini;
    for (const std::string& key : ini.ReadSection(RecentSection))
        Recent.push_back(ini.ReadString(RecentSection, key, ""));
    readRecent_ = Recent;
    SetLoadedSoftsynths(&LoadedSoftsynth);
}

TSoftEngine::~TSoftEngine() {
    Clear();
    // Written back only when it changed: every song's destruction would rewrite it otherwise.
    if (Recent != readRecent_) {
        platform::TIniFile ini;
        ini.EraseSection(RecentSection);
        for (std::size_t i = 0; i < Recent.size(); ++i)
            ini.WriteString(RecentSection, std::to_string(i), Recent[i]);
    }
    if (!SoftEngine || SoftEngine == this) SetLoadedSoftsynths(nullptr);
}

TSoftItem* TSoftEngine::GetItem(int Index) const {
    return Index >= 0 && Index < Count() ? Items[static_cast<std::size_t>(Index)] : nullptr;
}

TMFX* TSoftEngine::InputPlugin(int Index) const {
    if (Index < 0 || Index >= published_.load(std::memory_order_acquire)) return nullptr;
    return inputPlugins_[static_cast<std::size_t>(Index)].load(std::memory_order_acquire);
}

void TSoftEngine::Publish() {
    const int n = std::min(Count(), MaxPublished);
    // Shrink first, so that a reader never sees an entry beyond what is stored.
    published_.store(std::min(n, published_.load(std::memory_order_relaxed)),
                     std::memory_order_release);
    for (int i = 0; i < n; ++i)
        inputPlugins_[static_cast<std::size_t>(i)].store(
            Items[static_cast<std::size_t>(i)]->Plugin.get(), std::memory_order_release);
    published_.store(n, std::memory_order_release);
}

void LocatePluginFile(std::string& FileName, bool Effect) {
    if (PluginFileExists(FileName)) return;
    auto folderOf = [Effect](std::string& folder) {
        folder.clear();
        if (!Song) return;
        if (Effect)
            Song->FxFolder(folder);
        else
            Song->SynthFolder(folder);
    };
    std::string folder;
    folderOf(folder);
    std::string found = FileName;
    bool ok = FindPlugin(found, folder);
    while (!ok && SoftsynthWindows().SearchPlugin(FileName)) {
        folderOf(folder);
        found = FileName;
        ok = FindPlugin(found, folder);
    }
    if (ok) FileName = found;
}

TSoftItem* TSoftEngine::AddSoftsynth(std::string FileName) {
    // 1. A file that is not there is looked for below the softsynth folder, and the user may
    //    point the search elsewhere until it is found or the search is cancelled.
    LocatePluginFile(FileName, false);
    // 2. The softsynth is made in any case: the numbers tracks store stay valid.
    auto* item = new TSoftItem;
    TMFX& plug = *item->Plugin;
    plug.Path = FileName;
    plug.Load(SoftsynthWindows().EditorParent(item->Editor));
    // 3.
    item->OutputCount = plug.NumOutputs();
    std::string name;
    plug.GetName(name);
    item->Channel = new TChannel(StripLabelWidth, StripLabelHeight, name, true, ckSoftsynth, item);
    for (TSoftOut& slot : item->Outputs)
        slot.Channels = 1;
    // 4. A VST plug-in's outputs as slots: a stereo pin and its partner make one slot.
    if (plug.Loaded && plug.Effect) {
        const int pins = std::max(0, plug.Effect->numOutputs);
        int count = 0;
        for (int pin = 0; pin < pins && count < OutputSlotCount;) {
            TSoftOut& slot = item->Outputs[static_cast<std::size_t>(count)];
            slot.Channels = 1;
            VstPinProperties props{};
            const bool stereo = plug.Dispatch(effGetOutputProperties, pin, 0, &props) != 0 &&
                                (props.flags & 2) != 0;
            // A last pin without a partner is a mono slot, whatever it says.
            if (stereo && pin + 1 < pins) {
                slot.Channels = 2;
                pin += 2;
            } else {
                pin += 1;
            }
            ++count;
        }
        item->OutputCount = std::max(count, 1);
    }
    item->OutputCount = std::clamp(item->OutputCount, 0, OutputSlotCount);
    item->PreparePins();
    // 5.
    {
        TRendererHold hold;
        item->number_ = Count();
        Items.push_back(item);
        Publish();
    }
    return item;
}

void TSoftEngine::AddRecent(const std::string& FileName) {
    std::string name = platform::ExtractFileName(FileName);
    // Stored names may carry either separator.
    std::size_t cut = name.find_last_of('\\');
    if (cut != std::string::npos) name = name.substr(cut + 1);
    Recent.erase(std::remove_if(Recent.begin(), Recent.end(),
                                [&](const std::string& r) { return platform::SameText(r, name); }),
                 Recent.end());
    Recent.insert(Recent.begin(), name);
    if (Recent.size() > MaxRecent) Recent.resize(MaxRecent);
}

void TSoftEngine::MoveUp(TSoftItem* Item) {
    auto it = std::find(Items.begin(), Items.end(), Item);
    if (it == Items.end() || it == Items.begin()) return;
    const int b = static_cast<int>(it - Items.begin()), a = b - 1;
    TRendererHold hold;
    std::iter_swap(it - 1, it);
    Items[static_cast<std::size_t>(a)]->number_ = a;
    Items[static_cast<std::size_t>(b)]->number_ = b;
    if (Song) {
        for (int i = 0; i < TrackCount; ++i) {
            _TTrack* t = Song->TrackAt(i);
            if (!t || t->Mode != tmSoftsynth) continue;
            if (t->Output == a)
                t->Output = b;
            else if (t->Output == b)
                t->Output = a;
        }
    }
    Publish();
}

void TSoftEngine::Clear() {
    if (Items.empty()) return;
    std::vector<TSoftItem*> gone;
    {
        TRendererHold hold;
        published_.store(0, std::memory_order_release);
        gone.swap(Items);
        if (Song)
            for (TSoftItem* item : gone)
                UnlinkAutomationEntries(*Song, item->Plugin.get());
    }
    // The MIDI input reaches the plug-ins too: it lets go of them before they are freed.
    if (Midi && Midi->InPort)
        for (TSoftItem* item : gone) {
            TMFX* plugin = item->Plugin.get();
            Midi->InPort->ThruPlugin.compare_exchange_strong(plugin, nullptr);
        }
    WaitInputPluginUses();
    for (TSoftItem* item : gone)
        delete item;
}

void TSoftEngine::Remove(int Index) {
    TSoftItem* gone = GetItem(Index);
    if (!gone) return;
    std::vector<TMFX*> plugins{gone->Plugin.get()};
    for (const TSoftOut& slot : std::as_const(gone->Outputs))
        for (TSub* bus : slot.Inserts)
            plugins.push_back(bus->Plugin);
    {
        TRendererHold hold;
        Items.erase(Items.begin() + Index);
        for (int i = Index; i < Count(); ++i)
            Items[static_cast<std::size_t>(i)]->number_ = i;
        Publish();
        // Automation entries reach their plug-ins at every locate, and the editor idle calls
        // walk the VST buses: nothing may keep the softsynth's plug-in or its insert buses.
        for (TMFX* plugin : plugins) {
            if (SubEngine)
                SubEngine->VstBuses.erase(
                    std::remove_if(SubEngine->VstBuses.begin(), SubEngine->VstBuses.end(),
                                   [plugin](TSub* b) { return b->Plugin == plugin; }),
                    SubEngine->VstBuses.end());
            DropAutomationOf(plugin);
            if (Song) UnlinkAutomationEntries(*Song, plugin);
            plugin->AutoLink = nullptr;
        }
    }
    if (Midi && Midi->InPort) {
        TMFX* plugin = gone->Plugin.get();
        Midi->InPort->ThruPlugin.compare_exchange_strong(plugin, nullptr);
    }
    WaitInputPluginUses();
    delete gone;
}

void TSoftEngine::ResetQueues() {
    TRendererHold hold;
    for (TSoftItem* item : Items)
        item->Queue->Reset();
}

void CreateSoftEngine() {
    if (SoftEngine) return;
    SoftEngine = songEngine = new TSoftEngine;
}

void DestroySoftEngine() {
    if (!songEngine) return;
    if (SoftEngine == songEngine) {
        // Blocks and the MIDI input read the engine through the global: neither may still be
        // inside it when it goes.
        TRendererHold hold;
        SoftEngine = nullptr;
    }
    WaitInputPluginUses();
    delete songEngine;
    songEngine = nullptr;
}

TMFX* CurrentSynthPlugin() {
    if (!Song || !SoftEngine) return nullptr;
    _TTrack* t = Song->CurrentTrack();
    if (!t || t->Mode != tmSoftsynth) return nullptr;
    TSoftItem* item = SoftEngine->GetItem(t->Output);
    return item ? item->Plugin.get() : nullptr;
}

// ---- mute and solo ----

int TRenderEngines::SoftsynthSlots(TSoftOut** Slots, int Max) {
    int n = 0;
    if (!SoftEngine) return 0;
    for (TSoftItem* item : SoftEngine->Items)
        for (int i = 0; i < item->OutputCount && n < Max; ++i)
            Slots[n++] = &item->Outputs[static_cast<std::size_t>(i)];
    return n;
}

void TSoftEngine::UpdateMuteSolo() {
    if (!Song) return;
    static std::array<TSoftOut*, MaxSoftsynthSlots> synth; // GUI thread only
    int synthCount = RenderEngines().SoftsynthSlots(synth.data(), MaxSoftsynthSlots);
    // Fn(look, take): look at a slot; take() hands it out for change. The song's slots are
    // looked at through a const view and only those whose gain changes are handed out, so
    // that the next clear puts back no more slots than were changed.
    auto forEach = [&](auto&& fn) {
        for (int i = 0; i < synthCount; ++i) {
            TSoftOut& slot = *synth[static_cast<std::size_t>(i)];
            fn(std::as_const(slot), [&]() -> TSoftOut& { return slot; });
        }
        auto active = [&](TSoftOuts& outs) {
            const TSoftOuts& look = outs;
            for (std::size_t s = 0; s < look.size(); ++s)
                if (look[s].Active) fn(look[s], [&]() -> TSoftOut& { return outs[s]; });
        };
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Song->TrackAt(t);
            if (!track || track->Mode != tmAudio || track->Samples.empty()) continue;
            active(track->Outputs);
        }
        active(Song->DiskOutputs);
    };
    bool anySolo = false;
    forEach([&](const TSoftOut& s, auto) { anySolo = anySolo || s.Solo == 1; });
    forEach([&](const TSoftOut& s, auto take) {
        float g = 1.0f;
        if (s.Solo)
            g = 1.0f;
        else if (s.Mute == 1 || anySolo)
            g = 0.0f;
        // The GUI thread is the gain's only writer.
        if (s.Gain.load(std::memory_order_relaxed) != g) take().Gain = g;
    });
}

// ---- song operations of this module ----

void TSong::SynthFolder(std::string& S) const {
    S = PluginFolder(SynthPath, "Synth");
}

void TSong::FxFolder(std::string& S) const {
    S = PluginFolder(FxPath, "Fx");
}

_TTrack* TSong::CurrentPartTrack() const {
    return CurrentPart ? TrackAt(CurrentPart->Track) : nullptr;
}
