// Effect buses, mixer strips, and the routing numbers that follow the bus lists.
#include "song/subengine.h"

#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/vsthost.h"
#include "song/automation.h"
#include "song/engine.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <utility>

TSubEngine* SubEngine = nullptr;

namespace {

TVerticalTextProc verticalText = nullptr;
TSubEngine* songSubEngine = nullptr; // the one the song made (and frees)

// Every output slot whose bus and send numbers follow the bus lists: the softsynths' slots
// below their output counts, the slots of the tracks (of audio tracks only, for AudioOnly) and
// the disk outputs. A track or disk slot that was not used since the song's clear routes
// nowhere, has no send levels nor inserts, and is passed over.
template <class F> void ForEachRoutedSlot(bool AudioOnly, F&& Fn) {
    auto used = [&Fn](TSoftOuts& Slots) {
        for (std::size_t i = 0; i < Slots.UsedCount(); ++i)
            Fn(Slots.Used(i));
    };
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            for (int i = 0; i < item->OutputCount && i < OutputSlotCount; ++i)
                Fn(item->Outputs[static_cast<std::size_t>(i)]);
    if (!Song) return;
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Song->TrackAt(t);
        if (!track || (AudioOnly && track->Mode != tmAudio)) continue;
        used(track->Outputs);
    }
    used(Song->DiskOutputs);
}

// Send levels are written through their one writer; unchanged levels are left alone.
void MoveSend(TSoftOut& Slot, int To, int From) {
    const float v = Slot.Sends[static_cast<std::size_t>(From)].load(std::memory_order_relaxed);
    if (Slot.Sends[static_cast<std::size_t>(To)].load(std::memory_order_relaxed) != v)
        SetSendLevel(Slot, To, v);
}

// Deferred adds of the song still queued are carried out before a direct change, so that no
// bus is freed or renumbered while an add of it waits. Renderer held by the caller.
void FlushAdds() {
    if (Song && Song->Todos) Song->RunTodos();
}

std::vector<TSub*> OfKind(const TTodoList<TSub>& Buses, int Kind) {
    std::vector<TSub*> out;
    for (TSub* b : Buses)
        if (b->Kind == Kind) out.push_back(b);
    return out;
}

} // namespace

void DropAutomationOf(const TMFX* Plugin) {
    if (!Song || !Plugin) return;
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Song->TrackAt(t);
        if (!track || track->Mode != tmParameter) continue;
        for (std::size_t i = 0; i < track->AutoPlugs.size(); ++i) {
            TAutoPlug* entry = track->AutoPlugs[i];
            if (entry->Plugin != Plugin) continue;
            Song->DeleteAutomationEvents(t, static_cast<int>(i), true, -1);
            track->AutoPlugs.erase(track->AutoPlugs.begin() + static_cast<std::ptrdiff_t>(i));
            delete entry;
            break;
        }
    }
}

void SetVerticalTextProc(TVerticalTextProc Proc) {
    verticalText = Proc;
}
TVerticalTextProc VerticalTextProc() {
    return verticalText;
}

// ---- TChannel ----

TChannel::TChannel(int Width, int Height, const std::string& Name, bool HasPlugin_, int Kind_,
                   void* Owner_)
    : HasPlugin(HasPlugin_ ? 1 : 0), Owner(Owner_), Kind(Kind_) {
    Label.SetSize(std::max(Width, 0), std::max(Height, 0));
    platform::TCanvas& c = Label.Canvas();
    c.Brush.Style = platform::bsSolid;
    c.Brush.Color = StripLabelColor;
    c.FillRect(platform::TRect{0, 0, Width, Height});
    if (verticalText) verticalText(c, Name, 0, 0, Width, Height, platform::clWhite);
}

// ---- TSub ----

TSub::TSub() : Plugin(new TMFX), Buffer(2 * MaxBlockFrames, 0.0f) {
    Editor = SoftsynthWindows().CreateEditor(Plugin, true);
}

TSub::~TSub() {
    TSoftsynthWindows& w = SoftsynthWindows();
    if (Editor) w.HideEditor(Editor);
    Plugin->Unload();
    delete Plugin;
    Plugin = nullptr;
    if (Editor) w.FreeEditor(Editor);
    Editor = nullptr;
    delete Channel;
    Channel = nullptr;
}

void TSub::GetName(std::string& S) const {
    if (HasPlugin())
        Plugin->GetName(S);
    else
        S = "Vol";
}

bool TSub::HasPlugin() const {
    return Kind == skGroupEffect || Kind == skSendEffect || Kind == skMasterEffect;
}

// ---- TSubEngine ----

TSubEngine::TSubEngine() = default;

TSubEngine::~TSubEngine() {
    Clear();
}

TSub* TSubEngine::GetSub(int Index) const {
    return Index >= 0 && Index < Count() ? Buses[static_cast<std::size_t>(Index)] : nullptr;
}

TSub* TSubEngine::AddSub(int Kind, std::string FileName, platform::HWND Wnd) {
    if (Kind < skGroupEffect || Kind > skInsertEffect) return nullptr;
    // A slot has a send level for each of the first 128 send buses only.
    if (Kind == skSendEffect && SendBuses.Expected() >= static_cast<std::size_t>(SendCount))
        return nullptr;
    // 1. A missing file is searched for; after a cancel the bus is made all the same, with a
    //    plug-in that does not load, so that the numbers slots and buses store stay valid.
    if (Kind != skGroupVolume) LocatePluginFile(FileName, true);
    // 2.
    auto* sub = new TSub;
    sub->Kind = Kind;
    if (Kind != skGroupVolume) {
        sub->Plugin->Path = FileName;
        sub->Plugin->Load(SoftsynthWindows().EditorParent(sub->Editor));
    }
    // 3.
    std::string name;
    sub->GetName(name);
    auto queue = [&](TTodoList<TSub>& List) {
        if (Song)
            Song->AddTodo(tdAddItem, Wnd, &List, sub);
        else
            List.Append(sub);
    };
    switch (Kind) {
    case skGroupEffect:
    case skSendEffect:
        sub->Channel = new TChannel(StripLabelWidth, StripLabelHeight, name, true, ckBus, sub);
        queue(Buses);
        queue(Kind == skGroupEffect ? GroupBuses : SendBuses);
        break;
    case skGroupVolume:
        sub->Channel = new TChannel(StripLabelWidth, StripLabelHeight, "Vol", false, ckBus, sub);
        queue(Buses);
        break;
    case skMasterEffect:
        sub->Channel =
            new TChannel(StripLabelWidth, StripLabelHeight, name, false, ckMasterEffect, sub);
        queue(MasterBuses);
        break;
    default:
        break; // the caller puts an insert bus into a slot's Inserts
    }
    // 4.
    if (sub->Plugin->Loaded && sub->Plugin->Kind == 1) VstBuses.push_back(sub);
    return sub;
}

void TSubEngine::DeleteSub(TSub* Sub) {
    if (!Sub) return;
    // 1.
    VstBuses.erase(std::remove(VstBuses.begin(), VstBuses.end(), Sub), VstBuses.end());
    {
        TRendererHold hold;
        FlushAdds();
        // 2. The renderer reads the entries through the plug-in's link: they go with it held.
        DropAutomationOf(Sub->Plugin);
        Sub->Plugin->AutoLink = nullptr;
        if (Sub->Kind == skMasterEffect) {
            // 3.
            MasterBuses.Remove(Sub);
        } else if (Sub->Kind == skInsertEffect) {
            // 4.
            ForEachRoutedSlot(true, [&](TSoftOut& slot) {
                if (!slot.Inserts.empty()) slot.Inserts.Remove(Sub);
            });
        } else {
            // 5.
            const int p = Buses.IndexOf(Sub);
            const int q = SendBuses.IndexOf(Sub);
            if (q != -1)
                ForEachRoutedSlot(false, [&](TSoftOut& slot) {
                    for (int j = q; j < SendCount - 1; ++j)
                        MoveSend(slot, j, j + 1);
                });
            // 6.
            GroupBuses.Remove(Sub);
            SendBuses.Remove(Sub);
            VolumeBuses.Remove(Sub);
            Buses.Remove(Sub);
            // 7. Every stored number: the deleted one sends to the master mix, later ones move
            //    down. Every track's slots, since a track may get sample slots later.
            if (p != -1) {
                auto renumber = [p](std::atomic<std::int32_t>& n) {
                    const int v = n.load();
                    if (v == p)
                        n = -1;
                    else if (v > p)
                        n = v - 1;
                };
                for (TSub* b : Buses)
                    renumber(b->Output);
                ForEachRoutedSlot(false, [&](TSoftOut& slot) { renumber(slot.Bus); });
            }
        }
    }
    delete Sub;
}

void TSubEngine::MoveSubUp(TSub* Sub) {
    if (!Sub) return;
    TRendererHold hold;
    FlushAdds();
    // 1.
    if (Sub->Kind == skMasterEffect) {
        const int i = MasterBuses.IndexOf(Sub);
        if (i < 1) return;
        std::vector<TSub*> order = MasterBuses.Items;
        std::swap(order[static_cast<std::size_t>(i) - 1], order[static_cast<std::size_t>(i)]);
        MasterBuses.Assign(order);
        return;
    }
    // 2.
    const int p = Buses.IndexOf(Sub);
    if (p < 1) return;
    TSub* passed = Buses[static_cast<std::size_t>(p) - 1];
    if (Sub->Output == p - 1) Sub->Output = -1;
    // 3.
    std::vector<TSub*> order = Buses.Items;
    std::swap(order[static_cast<std::size_t>(p) - 1], order[static_cast<std::size_t>(p)]);
    Buses.Assign(order);
    const int q1 = SendBuses.IndexOf(passed), q2 = SendBuses.IndexOf(Sub);
    GroupBuses.Assign(OfKind(Buses, skGroupEffect));
    SendBuses.Assign(OfKind(Buses, skSendEffect));
    VolumeBuses.Assign(OfKind(Buses, skGroupVolume));
    // 4.
    auto exchange = [p](std::atomic<std::int32_t>& n) {
        const int v = n.load();
        if (v == p)
            n = p - 1;
        else if (v == p - 1)
            n = p;
    };
    for (int i = p + 1; i < Count(); ++i)
        exchange(Buses[static_cast<std::size_t>(i)]->Output);
    // 5. Two send buses changed send positions: each level stays with its bus.
    const bool sends = q1 != -1 && q2 != -1;
    ForEachRoutedSlot(false, [&](TSoftOut& slot) {
        exchange(slot.Bus);
        if (!sends) return;
        const float a = slot.Sends[static_cast<std::size_t>(q1)].load(std::memory_order_relaxed);
        const float b = slot.Sends[static_cast<std::size_t>(q2)].load(std::memory_order_relaxed);
        if (a == b) return;
        SetSendLevel(slot, q1, b);
        SetSendLevel(slot, q2, a);
    });
}

void TSubEngine::Clear() {
    std::vector<TSub*> gone;
    {
        TRendererHold hold;
        FlushAdds();
        gone = Buses.Items;
        gone.insert(gone.end(), MasterBuses.begin(), MasterBuses.end());
        if (Song)
            for (TSub* b : gone)
                UnlinkAutomationEntries(*Song, b->Plugin);
        for (TTodoList<TSub>* list : {&Buses, &GroupBuses, &SendBuses, &VolumeBuses, &MasterBuses})
            list->Clear();
        VstBuses.clear();
    }
    for (TSub* b : gone)
        delete b;
}

void TSubEngine::ShortName(const TSub* Sub, std::string& S) const {
    const char* prefix = nullptr;
    switch (Sub ? Sub->Kind : 0) {
    case skGroupEffect:
        prefix = "Sub";
        break;
    case skSendEffect:
        prefix = "Se";
        break;
    case skGroupVolume:
        prefix = "Vol";
        break;
    default:
        return;
    }
    int n = 1;
    for (TSub* b : Buses) {
        if (b == Sub) break;
        if (b->Kind == Sub->Kind) ++n;
    }
    S = prefix + std::to_string(n);
}

void CreateSubEngine() {
    if (SubEngine) return;
    SubEngine = songSubEngine = new TSubEngine;
}

void DestroySubEngine() {
    if (!songSubEngine) return;
    if (SubEngine == songSubEngine) {
        TRendererHold hold;
        SubEngine = nullptr;
    }
    delete songSubEngine;
    songSubEngine = nullptr;
}

void FreeDroppedBus(void* Bus) {
    auto* sub = static_cast<TSub*>(Bus);
    if (!sub) return;
    if (SubEngine) {
        auto& idle = SubEngine->VstBuses;
        idle.erase(std::remove(idle.begin(), idle.end(), sub), idle.end());
    }
    delete sub;
}

void FreeSlotInserts(TSoftOut& Slot) {
    if (Slot.Inserts.empty()) return;
    std::vector<TSub*> gone;
    {
        TRendererHold hold;
        gone = Slot.Inserts.Items;
        Slot.Inserts.Clear();
    }
    for (TSub* b : gone)
        delete b;
}

// ---- strips of the song ----

void TSong::UpdateSampleChannel(int TrackIndex) {
    _TTrack* t = TrackAt(TrackIndex);
    if (!t || t->Mode != tmAudio) return;
    if (t->Samples.empty()) {
        delete t->MixChannel;
        t->MixChannel = nullptr;
    } else if (!t->MixChannel) {
        t->MixChannel =
            new TChannel(StripLabelWidth, StripLabelHeight, t->Name, false, ckAudioTrack, t);
    }
}

// ---- output text ----

std::string SoftsynthItemName(int Index) {
    TSoftItem* item = SoftEngine ? SoftEngine->GetItem(Index) : nullptr;
    if (!item) return {};
    std::string name;
    item->Plugin->GetName(name);
    int before = 0, same = 0;
    for (int i = 0; i < SoftEngine->Count(); ++i) {
        std::string other;
        SoftEngine->Items[static_cast<std::size_t>(i)]->Plugin->GetName(other);
        if (other != name) continue;
        ++same;
        if (i < Index) ++before;
    }
    if (same > 1) name += " (" + std::to_string(before + 1) + ")";
    return name;
}

void TrackOutputText(const _TTrack& Track, std::string& S) {
    const int output = Track.Output;
    switch (Track.Mode.load()) {
    case tmMidi: {
        std::string name;
        int technology = 0;
        if (Midi) Midi->GetOutputCaps(output, technology, name);
        S = " " + name;
        if (!Midi || !Midi->IsOutputOpen(output)) S = " (Inactive)" + S;
        break;
    }
    case tmSoftsynth: {
        TSoftItem* item = SoftEngine ? SoftEngine->GetItem(output) : nullptr;
        if (!item) {
            S = " No Softsynth loaded or selected";
            break;
        }
        S = " " + SoftsynthItemName(output);
        break;
    }
    case tmAudio: {
        S = " AUDIO";
        if (Audio && Audio->Device >= 0 && Audio->Device < Audio->DeviceCount()) {
            std::string name;
            Audio->DeviceName(Audio->Device, name);
            S = " " + name;
        }
        if (!Audio || !Audio->AudioOn) S = " (Inactive)" + S;
        break;
    }
    case tmDisk:
        S = " Ch" + std::to_string(output + 1);
        break;
    case tmParameter:
        S = " Param";
        break;
    default:
        S.clear();
        break;
    }
}

// ---- the engines' defaults ----

void TLocateHooks::LocateBuses(TSong&, int Tick) {
    if (!SubEngine) return;
    const int samples = TicksToSamples(Tick);
    for (TSub* b : SubEngine->Buses) {
        TMFX& plug = *b->Plugin;
        if ((b->Kind == skGroupEffect || b->Kind == skSendEffect) && plug.Loaded && plug.Kind == 0)
            plug.Command(MFX_POSITION, 1, samples);
    }
}

namespace {

// Group and send buses with their plug-ins, then every loaded softsynth.
template <class F> void ForEachRatePlugin(F&& Fn) {
    if (SubEngine)
        for (TSub* b : SubEngine->Buses)
            if ((b->Kind == skGroupEffect || b->Kind == skSendEffect) && b->Plugin->Loaded)
                Fn(*b->Plugin);
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            if (item->Plugin->Loaded) Fn(*item->Plugin);
}

float hostRate = 44100.0f; // own-interface plug-ins keep the address for the whole run

} // namespace

void TAudioHooks::ApplyRateToPlugins(float Rate) {
    hostRate = Rate;
    ForEachRatePlugin([&](TMFX& plug) {
        if (plug.Effect) {
            plug.Dispatch(effMainsChanged, 0, 0);
            plug.Dispatch(effSetSampleRate, 0, 0, nullptr, Rate);
            plug.Dispatch(effMainsChanged, 0, 1);
        } else {
            plug.Command(MFX_SAMPLE_RATE, reinterpret_cast<std::intptr_t>(&hostRate), 0);
        }
    });
}

void TAudioHooks::ApplyBlockSizeToPlugins(int Frames) {
    ForEachRatePlugin([&](TMFX& plug) {
        if (plug.Effect) {
            plug.Dispatch(effMainsChanged, 0, 0);
            plug.Dispatch(effSetBlockSize, 0, Frames);
            plug.Dispatch(effMainsChanged, 0, 1);
        } else {
            plug.Command(MFX_BLOCK_SIZE, Frames, 0);
        }
    });
}

void TRenderEngines::ClearTransportChanged() {
    VstClearTransportChanged();
}
