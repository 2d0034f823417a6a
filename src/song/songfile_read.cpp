#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/automation.h"
#include "song/disk.h"
#include "song/filehelpers.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/sidefile.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songfile_items.h"
#include "song/subengine.h"
#include "song/todo.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

// ---- payload readers ---------------------------------------------------------------------

std::int32_t ReadIntItem() {
    return MapReadInt32BE();
}

bool ReadFlagItem() {
    return MapReadInt32BE() == 1;
}

double ReadDoubleItem() {
    return MapReadDouble();
}

void ReadStringItem(TSongReader& R, std::string& Field) {
    MapReadString(Field);
    R.LastString = &Field;
}

namespace {

// ---- song, track and part items -------------------------------------------------------------

_TTrack* Track(TSongReader& R) {
    return Song->TrackAt(R.TrackIndex);
}

// The current part's track, when both are current.
_TPart* Part(TSongReader& R) {
    return Track(R) ? R.Part : nullptr;
}

// A part that "PartEnd" never linked, or that its track refused, goes with its events.
void DropUnlinkedPart(TSongReader& R) {
    if (R.Part && !R.PartLinked) FreePart(R.Part);
    R.Part = nullptr;
    R.PartLinked = false;
}

template <class F> void OnTrack(TSongReader& R, F f) {
    if (_TTrack* t = Track(R)) f(*t);
}

template <class F> void OnPart(TSongReader& R, F f) {
    if (_TPart* p = Part(R)) f(*p);
}

// Start and length only until the part is linked: afterwards they would break the track's order.
template <class F> void OnUnlinkedPart(TSongReader& R, F f) {
    if (!R.PartLinked) OnPart(R, f);
}

void SeqName(TSongReader& R, TMapItem&) {
    ReadStringItem(R, R.StoredName);
}

void SeqTempo(TSongReader&, TMapItem&) {
    int tempo = ReadIntItem();
    if (tempo <= 0) tempo = 120; // a tempo of nothing would stop time
    if (Midi) Midi->SetTempo(tempo);
}

void SeqBeatsInBar(TSongReader&, TMapItem&) {
    int beats = ReadIntItem();
    Song->BeatsPerBar = beats > 0 ? beats : 4;
}

void SeqLeft(TSongReader&, TMapItem&) {
    Song->LeftLocator = ReadIntItem();
}

void SeqRight(TSongReader&, TMapItem&) {
    Song->RightLocator = ReadIntItem();
}

void SeqPos(TSongReader&, TMapItem&) {
    Song->Position = ReadIntItem();
}

void SeqTempoItem(TSongReader&, TMapItem&) {
    SongFileHost().AppendTempoLine(std::to_string(ReadIntItem()));
}

void TrackMarker(TSongReader& R, TMapItem&) {
    DropUnlinkedPart(R);
    R.TrackIndex = std::min(R.TrackIndex + 1, TrackCount - 1);
    R.OutputSlot = -1;
    R.SendIndex = -1;
    // Sample slots, output slots and entries belong to their track.
    R.Slot = nullptr;
    R.Sample = nullptr;
    R.Entry = nullptr;
}

void TrackName(TSongReader& R, TMapItem&) {
    OnTrack(R, [&](_TTrack& t) { ReadStringItem(R, t.Name); });
}

void TrackUserFile(TSongReader& R, TMapItem&) {
    OnTrack(R, [&](_TTrack& t) { ReadStringItem(R, t.UserFile); });
}

void TrackCh(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) {
        int ch = ReadIntItem();
        if (ch >= -1 && ch <= 15) t.Channel = ch; // else the track keeps its new-song channel
    });
}

void TrackMode(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) {
        int mode = ReadIntItem();
        t.Mode = mode >= 0 && mode <= 4 ? mode : 0;
    });
}

void TrackMute(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { t.Mute = ReadFlagItem() ? 1 : 0; });
}

// Track fields read as they stand.
template <std::int32_t _TTrack::*Field> void TrackInt(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { t.*Field = ReadIntItem(); });
}

template <std::atomic<std::int32_t> _TTrack::*Field>
void TrackAtomicInt(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { (t.*Field) = ReadIntItem(); });
}

void PartMarker(TSongReader& R, TMapItem&) {
    DropUnlinkedPart(R);
    if (!Track(R)) return;
    R.Part = NewPart("", 0, 0, 0);
    R.Part->Track = R.TrackIndex;
}

void PartName(TSongReader& R, TMapItem&) {
    OnPart(R, [&](_TPart& p) { ReadStringItem(R, p.Name); });
}

void PartStyle(TSongReader& R, TMapItem&) {
    OnPart(R, [](_TPart& p) { p.Flags = static_cast<std::uint32_t>(ReadIntItem()) | pfRedraw; });
}

void PartStart(TSongReader& R, TMapItem&) {
    OnUnlinkedPart(R, [](_TPart& p) { p.Start = ReadIntItem(); });
}

void PartLength(TSongReader& R, TMapItem&) {
    OnUnlinkedPart(R, [](_TPart& p) {
        int length = ReadIntItem();
        p.Length = length > 0 ? length : BarTicks(); // a part of no length could hold nothing
    });
}

void PartSample(TSongReader& R, TMapItem&) {
    OnPart(R, [](_TPart& p) { p.Sample = ReadIntItem(); });
}

void PartEndMarker(TSongReader& R, TMapItem&) {
    _TPart* p = Part(R);
    if (!p || R.PartLinked) return;
    if (p->Length <= 0) p->Length = BarTicks(); // "PartLength" never came
    R.PartLinked = InsertPart(Track(R), p);
}

void PartNumEvents(TSongReader& R, TMapItem&) {
    R.EventCount = ReadIntItem();
}

void PartEvents(TSongReader& R, TMapItem& Item) {
    std::int32_t count = R.EventCount;
    R.EventCount = 0;
    _TPart* p = Part(R);
    if (!p) return;
    // Each record takes 8 bytes at least: the count can never outrun the item.
    for (std::int32_t i = 0; i < count; ++i) {
        if (Item.Left() < 8) {
            R.Damaged = true;
            return;
        }
        AppendEvent(p, MapReadEventEx());
    }
    if (Item.Left() != 0) R.Damaged = true; // records beyond the count are passed over
}

// ---- gains --------------------------------------------------------------------------------

// A gain from a file: a value that is not a number takes the field's default, any other is
// held to the mixer's range, so no gain reaches the mix as inf or NaN.
float Gain(double V, float Default, float Low, float High) {
    if (!std::isfinite(V)) return Default;
    return static_cast<float>(std::clamp(V, static_cast<double>(Low), static_cast<double>(High)));
}
constexpr float MaxVolume = 8.0f;

float VolumeGain(double V) {
    return Gain(V, 1.0f, 0.0f, MaxVolume);
}

// ---- sample slots -----------------------------------------------------------------------------

void SampleMarker(TSongReader& R, TMapItem&) {
    _TTrack* t = Track(R);
    if (!t) return;
    t->Samples.push_back(std::make_unique<TSample>());
    R.Sample = t->Samples.back().get();
    Song->UpdateSampleChannel(R.TrackIndex);
}

template <class F> void OnSample(TSongReader& R, F f) {
    if (R.Sample) f(*R.Sample);
}

void SampleIndex(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Index = ReadIntItem(); });
}

void SampleVolume2(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Volume = VolumeGain(ReadDoubleItem()); });
}

void SampleVolume(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Volume = VolumeGain(ReadIntItem() / 127.0); });
}

void SamplePan(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Pan = ReadIntItem(); });
}

void SampleMute(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Mute = ReadFlagItem(); });
}

void SampleFR(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.FR = ReadFlagItem(); });
}

void SampleBus(TSongReader& R, TMapItem&) {
    OnSample(R, [](TSample& s) { s.Bus = std::max(ReadIntItem(), 0); });
}

// ---- output slots -----------------------------------------------------------------------------

// The next slot of Slots by Counter; none beyond the last (the counter stops growing there).
void NextSlot(TSongReader& R, int& Counter, TSoftOuts* Slots) {
    Counter = std::min(Counter + 1, OutputSlotCount);
    R.SendIndex = -1;
    R.Slot =
        Slots && Counter < OutputSlotCount ? &(*Slots)[static_cast<std::size_t>(Counter)] : nullptr;
}

void TrackBusMarker(TSongReader& R, TMapItem&) {
    _TTrack* t = Track(R);
    NextSlot(R, R.OutputSlot, t ? &t->Outputs : nullptr);
}

void DiskOutputMarker(TSongReader& R, TMapItem&) {
    NextSlot(R, R.DiskOutputSlot, &Song->DiskOutputs);
    if (R.Slot) R.Slot->Active = 1;
}

void SoftsynthOutputMarker(TSongReader& R, TMapItem&) {
    NextSlot(R, R.OutputSlot, R.Softsynth ? &R.Softsynth->Outputs : nullptr);
}

template <class F> void OnSlot(TSongReader& R, F f) {
    if (R.Slot) f(*R.Slot);
}

template <std::atomic<std::int32_t> TSoftOut::*Field> void SlotInt(TSongReader& R, TMapItem&) {
    OnSlot(R, [](TSoftOut& o) { (o.*Field) = ReadIntItem(); });
}

void SlotVolume(TSongReader& R, TMapItem&) {
    OnSlot(R, [](TSoftOut& o) { o.Volume = VolumeGain(ReadDoubleItem()); });
}

void SlotPan(TSongReader& R, TMapItem&) {
    OnSlot(R, [](TSoftOut& o) { o.Pan = Gain(ReadDoubleItem(), 0.0f, -1.0f, 1.0f); });
}

void SlotSend(TSongReader& R, TMapItem&) {
    R.SendIndex = std::min(R.SendIndex + 1, SendCount);
    double v = ReadDoubleItem();
    if (R.Slot && R.SendIndex < SendCount) SetSendLevel(*R.Slot, R.SendIndex, Gain(v, 0, 0, 1));
}

// ---- plug-ins ----------------------------------------------------------------------------------

// The folder a stored plug-in name is read under, the name, and the library's ending.
std::string PluginFile(const std::string& Name, bool Effect) {
    std::string folder;
    if (Effect)
        Song->FxFolder(folder);
    else
        Song->SynthFolder(folder);
    return folder + Name + ".dll";
}

// The parameters of the file's doubles item, as many as the count before it says and the item
// holds; the count goes back to 0.
void ReadParams(TSongReader& R, TMapItem& Item, TMFX* Plugin) {
    std::int32_t count = R.ParamCount;
    R.ParamCount = 0;
    for (std::int32_t i = 0; i < count && Item.Left() >= 8; ++i) {
        double v = ReadDoubleItem();
        if (Plugin) Plugin->SetParameter(i, Gain(v, 0.0f, 0.0f, 1.0f));
    }
}

// Plug-in state: own interface through its state command, a VST plug-in that keeps its
// programs as chunks through the bank chunk.
void ReadState(TMapItem& Item, TMFX* Plugin) {
    std::int32_t size = Item.Left();
    if (!Plugin || !Plugin->Loaded || size <= 0) return;
    std::vector<std::uint8_t> block(MapCursor, MapCursor + size);
    if (Plugin->Kind == 0)
        Plugin->Command(MFX_STATE, size, reinterpret_cast<std::intptr_t>(block.data()));
    else if (Plugin->Effect && (Plugin->Effect->flags & effFlagsProgramChunks))
        Plugin->Dispatch(effSetChunk, 0, size, block.data());
}

void ParamCountItem(TSongReader& R, TMapItem&) {
    R.ParamCount = ReadIntItem();
}

// Parameters of the older master and effect plug-ins: read past, the count goes back to 0.
void DroppedParams(TSongReader& R, TMapItem& Item) {
    ReadParams(R, Item, nullptr);
}

// ---- buses
// ---------------------------------------------------------------------------------------

TMFX* BusPlugin(TSongReader& R) {
    return R.Bus ? R.Bus->Plugin : nullptr;
}

void SubStyle(TSongReader& R, TMapItem&) {
    R.BusKind = ReadIntItem();
}

void MakeBus(TSongReader& R) {
    const int kind = R.BusKind;
    R.Bus = nullptr;
    // A kind the bus maker does not know makes nothing; an insert bus needs a slot to sit in, so
    // that no plug-in is left without an owner.
    if (!SubEngine || kind < skGroupEffect || kind > skInsertEffect) return;
    TSoftOut* slot = R.Slot;
    if (kind == skInsertEffect && !slot) return;
    TSub* bus = SubEngine->AddSub(kind, PluginFile(R.PendingName, true), -1);
    if (bus && kind == skInsertEffect) {
        bus->HostSlot = slot;
        Song->AddTodo(tdAddItem, -1, &slot->Inserts, bus);
    }
    R.Bus = bus;
}

void SubName(TSongReader& R, TMapItem&) {
    R.Bus = nullptr; // until it is made
    ReadStringItem(R, R.PendingName);
    R.Pending = MakeBus;
}

template <class F> void OnBus(TSongReader& R, F f) {
    if (R.Bus) f(*R.Bus);
}

void SubParams(TSongReader& R, TMapItem& Item) {
    ReadParams(R, Item, BusPlugin(R));
}

void SubData(TSongReader& R, TMapItem& Item) {
    ReadState(Item, BusPlugin(R));
}

void SubOutput(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) { b.Output = ReadIntItem(); });
}

void SubDock(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) { b.Docked = ReadIntItem(); });
}

void SubEditor(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) { b.EditorShown = ReadIntItem(); });
}

void SubActive(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) { b.Plugin->Enabled = ReadIntItem(); });
}

void SubVolume(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) { b.Volume = VolumeGain(ReadDoubleItem()); });
}

void SubShow(TSongReader& R, TMapItem&) {
    OnBus(R, [](TSub& b) {
        if (b.Channel) b.Channel->Show = ReadIntItem();
    });
}

// ---- softsynths
// ----------------------------------------------------------------------------------

void MakeSoftsynth(TSongReader& R) {
    R.Softsynth = SoftEngine ? SoftEngine->AddSoftsynth(PluginFile(R.PendingName, false)) : nullptr;
    R.OutputSlot = -1;
    R.SendIndex = -1;
    R.Slot = nullptr;
}

void SoftsynthName(TSongReader& R, TMapItem&) {
    R.Softsynth = nullptr;
    ReadStringItem(R, R.PendingName);
    R.Pending = MakeSoftsynth;
}

TMFX* SoftsynthPlugin(TSongReader& R) {
    return R.Softsynth ? R.Softsynth->Plugin.get() : nullptr;
}

void SoftsynthVSTProgram(TSongReader& R, TMapItem&) {
    TMFX* p = SoftsynthPlugin(R);
    int program = ReadIntItem();
    if (p && p->Loaded && p->Kind == 1) p->Dispatch(effSetProgram, 0, program);
}

void SoftsynthShow(TSongReader& R, TMapItem&) {
    int show = ReadIntItem();
    if (R.Softsynth && R.Softsynth->Channel) R.Softsynth->Channel->Show = show;
}

// One field of the editor window's placement.
template <class F> void OnPlacement(TSongReader& R, F f) {
    int v = ReadIntItem();
    if (!R.Softsynth) return;
    TSoftsynthWindows& w = SoftsynthWindows();
    TEditorPlacement p = w.Placement(*R.Softsynth);
    f(p, v);
    w.SetPlacement(*R.Softsynth, p);
}

void SoftsynthVisible(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.ShowAfterLoad = v == 1; });
}

void SoftsynthLeft(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.Left = v; });
}

void SoftsynthTop(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.Top = v; });
}

void SoftsynthMinimized(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.RolledUp = v == 1; });
}

void SoftsynthWidth(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.Width = v; });
}

void SoftsynthHeight(TSongReader& R, TMapItem&) {
    OnPlacement(R, [](TEditorPlacement& p, int v) { p.Height = v; });
}

void SoftsynthParams(TSongReader& R, TMapItem& Item) {
    ReadParams(R, Item, SoftsynthPlugin(R));
}

void SoftsynthData(TSongReader& R, TMapItem& Item) {
    ReadState(Item, SoftsynthPlugin(R));
}

// ---- automation entries
// --------------------------------------------------------------------------

void AutoFXMarker(TSongReader& R, TMapItem&) {
    _TTrack* t = Track(R);
    if (!t) return;
    auto* entry = new TAutoPlug;
    entry->Track = R.TrackIndex;
    entry->Slot = static_cast<std::int32_t>(t->AutoPlugs.size());
    t->AutoPlugs.push_back(entry);
    R.Entry = entry;
}

template <class F> void OnEntry(TSongReader& R, F f) {
    if (R.Entry) f(*R.Entry);
}

void AutoFXId(TSongReader& R, TMapItem&) {
    OnEntry(R, [&](TAutoPlug& e) { ReadStringItem(R, e.Id.Code); });
}

template <std::int32_t TPlugId::*Field> void AutoFXInd(TSongReader& R, TMapItem&) {
    OnEntry(R, [](TAutoPlug& e) { e.Id.*Field = ReadIntItem(); });
}

void AutoFXParam(TSongReader& R, TMapItem&) {
    OnEntry(R, [](TAutoPlug& e) {
        if (e.ParamCount >= MaxAutoParams) return; // further pairs are ignored
        e.Params[static_cast<std::size_t>(e.ParamCount++)].Param = ReadIntItem();
    });
}

void AutoFXParamRamp(TSongReader& R, TMapItem&) {
    OnEntry(R, [](TAutoPlug& e) {
        if (e.ParamCount > 0)
            e.Params[static_cast<std::size_t>(e.ParamCount - 1)].Kind = ReadIntItem();
    });
}

// ---- disk samples, areas, faders, sound card, master
// ----------------------------------------------

void MakeDiskSample(TSongReader& R) {
    auto* d = new TDiskSample;
    d->FileName = R.PendingName;
    d->Open(); // a file that cannot be opened leaves the sample closed: its parts play nothing
    Song->DiskSamples.push_back(d);
    R.DiskSample = d;
}

void DiskFileName(TSongReader& R, TMapItem&) {
    R.DiskSample = nullptr;
    ReadStringItem(R, R.PendingName);
    R.Pending = MakeDiskSample;
}

void DiskInternal(TSongReader& R, TMapItem&) {
    if (R.DiskSample) R.DiskSample->Internal = ReadIntItem();
}

TSongArea* Area(TSongReader& R) {
    std::vector<TSongArea>& areas = SongFileHost().Areas();
    return R.Area >= 0 && static_cast<std::size_t>(R.Area) < areas.size()
               ? &areas[static_cast<std::size_t>(R.Area)]
               : nullptr;
}

void AreaMarker(TSongReader& R, TMapItem&) {
    std::vector<TSongArea>& areas = SongFileHost().Areas();
    areas.emplace_back();
    R.Area = static_cast<int>(areas.size()) - 1;
}

void AreaName(TSongReader& R, TMapItem&) {
    if (TSongArea* a = Area(R)) ReadStringItem(R, a->Name);
}

void AreaLeft(TSongReader& R, TMapItem&) {
    if (TSongArea* a = Area(R)) a->Left = ReadIntItem();
}

void AreaRight(TSongReader& R, TMapItem&) {
    if (TSongArea* a = Area(R)) a->Right = ReadIntItem();
}

// The sound card's effect lists take the song's selections, and keep them when the window
// shows next.
template <int List> void AweItem(TSongReader&, TMapItem&) {
    int index = ReadIntItem();
    TMidiEditorsSeam& w = MidiEditors();
    if (!w.AweWindowExists()) return;
    w.SetAweListIndex(List, index);
    w.SetAweTakeFromCard(false);
}

void MIDIFaders(TSongReader&, TMapItem&) {
    MidiEditors().ClearFaders();
}

void MIDIFader(TSongReader&, TMapItem&) {
    int controller = ReadIntItem();
    // Pitch bend, program change or a controller: any other would send malformed messages.
    if (controller == -3 || controller == -2 || (controller >= 0 && controller <= 127))
        MidiEditors().AddFader(controller);
}

void MasterOutputVolume(TSongReader&, TMapItem&) {
    Song->MasterOut.Volume = VolumeGain(ReadDoubleItem());
}

void MasterOutputShow(TSongReader&, TMapItem&) {
    int show = ReadIntItem();
    if (Song->MasterChannel) Song->MasterChannel->Show = show;
}

// The sample pool from the bank beside the song; without it the pool stays empty.
void SampleDXG(TSongReader& R, TMapItem&) {
    std::string path = SideFileToRead(R.FileName, R.StoredName, ".dxg");
    if (!platform::FileExists(path)) {
        platform::MessageBox("File not found: " + path, "Open song",
                             platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    if (!Song->SamplePool) return;
    try {
        Song->SamplePool->Items.LoadFromFile(path);
    } catch (const std::exception& e) {
        Song->SamplePool->Items.Clear();
        platform::MessageBox(path + ": " + e.what(), "Open song",
                             platform::MB_OK | platform::MB_ICONERROR);
    }
}

void LongString(TSongReader& R, TMapItem& Item) {
    if (!R.JustRead) return;
    std::int32_t n = Item.Left();
    R.JustRead->assign(reinterpret_cast<const char*>(MapCursor), static_cast<std::size_t>(n));
    MapSkip(n);
}

// The SoundFont banks listed beside the song are loaded again.
void SFBank(TSongReader& R, TMapItem&) {
    if (!SBLive || !SBLive->Available || !SBLive->AutoOpenSave) return;
    std::string path = SideFileToRead(R.FileName, R.StoredName, ".sfs");
    std::string text;
    if (!platform::FileExists(path) || !platform::ReadWholeFile(path, text)) {
        platform::MessageBox("File not found: " + path, "Open song",
                             platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    LoadBankList(*SBLive, text);
    SBLiveWindows().FillSBLiveBanks();
}

const TSongTag CoreTags[] = {
    {"SeqName", SeqName},
    {"SeqTempo", SeqTempo},
    {"SeqBeatsInBar", SeqBeatsInBar},
    {"SeqLeft", SeqLeft},
    {"SeqRight", SeqRight},
    {"SeqPos", SeqPos},
    {"SeqTempoItem", SeqTempoItem},
    {"Track", TrackMarker},
    {"TrackName", TrackName},
    {"TrackCh", TrackCh},
    {"TrackOutput", TrackAtomicInt<&_TTrack::Output>},
    {"TrackMode", TrackMode},
    {"TrackBank", TrackInt<&_TTrack::Bank>},
    {"TrackProgram", TrackInt<&_TTrack::Program>},
    {"TrackVolume", TrackInt<&_TTrack::Volume>},
    {"TrackPan", TrackInt<&_TTrack::Pan>},
    {"TrackReverb", TrackInt<&_TTrack::Reverb>},
    {"TrackChorus", TrackInt<&_TTrack::Chorus>},
    {"TrackTranspose", TrackAtomicInt<&_TTrack::Transpose>},
    {"TrackMute", TrackMute},
    {"TrackLayout", TrackInt<&_TTrack::Layout>},
    {"TrackOffset", TrackInt<&_TTrack::Offset>},
    {"TrackUserFile", TrackUserFile},
    {"TrackFX", TrackInt<&_TTrack::FX>},
    {"Part", PartMarker},
    {"PartName", PartName},
    {"PartStyle", PartStyle},
    {"PartStart", PartStart},
    {"PartLength", PartLength},
    {"PartSample", PartSample},
    {"PartEnd", PartEndMarker},
    {"PartNumEvents", PartNumEvents},
    {"PartEvents", PartEvents},
    {LongStringTag, LongString},
    {"Sample", SampleMarker},
    {"SampleIndex", SampleIndex},
    {"SampleVolume2", SampleVolume2},
    {"SamplePan", SamplePan},
    {"SampleMute", SampleMute},
    {"SampleFR", SampleFR},
    {"SampleBus", SampleBus},
    {"SampleVolume", SampleVolume},
    {"TrackBus", TrackBusMarker},
    {"DiskOutput", DiskOutputMarker},
    {"SoftsynthOutput", SoftsynthOutputMarker},
    {"TrackBusActive", SlotInt<&TSoftOut::Active>},
    {"TrackBusVolume", SlotVolume},
    {"TrackBusPan", SlotPan},
    {"TrackBusBus", SlotInt<&TSoftOut::Bus>},
    {"TrackBusMute", SlotInt<&TSoftOut::Mute>},
    {"TrackBusSolo", SlotInt<&TSoftOut::Solo>},
    {"TrackBusSend", SlotSend},
    {"DiskOutputActive", SlotInt<&TSoftOut::Active>},
    {"DiskOutputVolume", SlotVolume},
    {"DiskOutputPan", SlotPan},
    {"DiskOutputBus", SlotInt<&TSoftOut::Bus>},
    {"DiskOutputMute", SlotInt<&TSoftOut::Mute>},
    {"DiskOutputSolo", SlotInt<&TSoftOut::Solo>},
    {"DiskOutputSend", SlotSend},
    {"SoftsynthOutputActive", SlotInt<&TSoftOut::Active>},
    {"SoftsynthOutputVolume", SlotVolume},
    {"SoftsynthOutputPan", SlotPan},
    {"SoftsynthOutputBus", SlotInt<&TSoftOut::Bus>},
    {"SoftsynthOutputMute", SlotInt<&TSoftOut::Mute>},
    {"SoftsynthOutputSolo", SlotInt<&TSoftOut::Solo>},
    {"SoftsynthOutputSend", SlotSend},
    {"Sub", [](TSongReader&, TMapItem&) {}},
    {"SubStyle", SubStyle},
    {"SubName", SubName},
    {"SubNumParams", ParamCountItem},
    {"SubParams", SubParams},
    {"SubData", SubData},
    {"SubOutput", SubOutput},
    {"SubDock", SubDock},
    {"SubEditor", SubEditor},
    {"SubActive", SubActive},
    {"SubVolume", SubVolume},
    {"SubShow", SubShow},
    {"Softsynth", [](TSongReader&, TMapItem&) {}},
    {"SoftsynthName", SoftsynthName},
    {"SoftsynthVSTProgram", SoftsynthVSTProgram},
    {"SoftsynthShow", SoftsynthShow},
    {"SoftsynthVisible", SoftsynthVisible},
    {"SoftsynthLeft", SoftsynthLeft},
    {"SoftsynthTop", SoftsynthTop},
    {"SoftsynthMinimized", SoftsynthMinimized},
    {"SoftsynthWidth", SoftsynthWidth},
    {"SoftsynthHeight", SoftsynthHeight},
    {"SoftsynthNumParams", ParamCountItem},
    {"SoftsynthParams", SoftsynthParams},
    {"SoftsynthData", SoftsynthData},
    {"AutoFX", AutoFXMarker},
    {"AutoFXId", AutoFXId},
    {"AutoFXInd1", AutoFXInd<&TPlugId::Ind1>},
    {"AutoFXInd2", AutoFXInd<&TPlugId::Ind2>},
    {"AutoFXInd3", AutoFXInd<&TPlugId::Ind3>},
    {"AutoFXParam", AutoFXParam},
    {"AutoFXParamRamp", AutoFXParamRamp},
    {"DiskFileName", DiskFileName},
    {"DiskInternal", DiskInternal},
    {"Area", AreaMarker},
    {"AreaName", AreaName},
    {"AreaLeft", AreaLeft},
    {"AreaRight", AreaRight},
    {"AWEReverb", AweItem<aweReverb>},
    {"AWEChorus", AweItem<aweChorus>},
    {"AWEBass", AweItem<aweBass>},
    {"AWETreble", AweItem<aweTreble>},
    {"MIDIFaders", MIDIFaders},
    {"MIDIFader", MIDIFader},
    {"SampleDXG", SampleDXG},
    {"MasterOutputVolume", MasterOutputVolume},
    {"MasterOutputShow", MasterOutputShow},
    {"MFXPluginNumParams", ParamCountItem},
    {"MasterPluginNumParams", ParamCountItem},
    {"MFXPluginParams", DroppedParams},
    {"MasterPluginParams", DroppedParams},
    {"SFBank", SFBank},
};

// Every tag the reader knows; the tables of further record groups join here.
const std::unordered_map<std::string_view, TSongTagAction>& TagActions() {
    static const auto actions = [] {
        std::unordered_map<std::string_view, TSongTagAction> m;
        for (const TSongTag& t : CoreTags)
            m.emplace(t.Tag, t.Action);
        return m;
    }();
    return actions;
}

} // namespace

namespace {

void RunPending(TSongReader& R) {
    auto action = R.Pending;
    R.Pending = nullptr;
    R.LastString = nullptr; // the name is used up: a later "LongString" completes nothing
    action(R);
}

// After the whole file: the editor windows that were open show again, and every automation
// entry finds the plug-in its place names.
void FinishSongRecords() {
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            if (SoftsynthWindows().Placement(*item).ShowAfterLoad)
                SoftsynthWindows().ShowEditorWindow(*item);
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Song->TrackAt(t);
        if (track->Mode != tmParameter) continue;
        for (TAutoPlug* entry : track->AutoPlugs) {
            entry->Plugin = SubEngine ? SubEngine->ResolvePlugId(entry->Id) : nullptr;
            if (entry->Plugin) entry->Plugin->Automated = true;
        }
    }
    LinkAutomationEntries(*Song);
}

// The records of the mapped file into the song as it stands.
bool ReadMappedSongFile(std::string_view FileName) {
    Song->Folder = platform::ExtractFilePath(FileName);

    TSongReader r;
    r.FileName = std::string(FileName);
    std::string tag;
    MapReadString(tag); // the magic, recognised by the caller
    const auto& actions = TagActions();
    while (MapRemaining > 0) {
        MapReadString(tag);
        std::int32_t size = MapReadInt32BE();
        if (size < 0) { // nothing to go on from here
            r.Damaged = true;
            break;
        }
        if (r.Pending && tag != LongStringTag) RunPending(r);
        TMapItem item(size);
        r.JustRead = r.LastString;
        r.LastString = nullptr;
        auto it = actions.find(tag);
        if (it != actions.end()) it->second(r, item); // unknown tags are passed over by size
    }
    if (r.Pending) RunPending(r);
    DropUnlinkedPart(r);
    // Saved again, the song goes where it was read from, not to the name it stores ("SeqName",
    // which the files beside it were looked up under while reading).
    Song->FileName = platform::ExtractFileName(FileName);
    bool damaged = r.Damaged || MapTruncated;
    MapFileClose();
    FinishSongRecords();
    if (damaged)
        platform::MessageBox(
            "The song file is damaged or incomplete. What could be read has been loaded.",
            "Open song", platform::MB_OK | platform::MB_ICONWARNING);
    return !damaged;
}

} // namespace

bool LoadSongFile(std::string_view FileName) {
    if (!MapFileOpen(FileName)) return false;
    Song->Clear();
    SongFileHost().ClearSamplePool();
    SongFileHost().ClearSongLists();
    return ReadMappedSongFile(FileName);
}

bool ReadSongFileRecords(std::string_view FileName) {
    return MapFileOpen(FileName) && ReadMappedSongFile(FileName);
}
