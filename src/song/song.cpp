#include "song/song.h"

#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/ini.h"
#include "song/audioengine.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/quantize.h"
#include "song/seams.h"
#include "song/todo.h"
#include "song/trackout.h"
#include "song/undo.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/mman.h>
#include <system_error>

TSong* Song = nullptr;

int NoteHeight = 7;
int Width16th = 16;
int AudioWidth16th = 16;
int TrackHeight = 18;
int SampleHeight = 40;
int BeatWidth = 6;
int DefaultTrackMode = 2;
std::array<TFloatBuffer, 32> SampleMixBuffers;
std::array<TFloatBuffer, 5> PlugBuffers;

namespace {

constexpr std::size_t FloatsOf(std::size_t bytes) {
    return bytes / sizeof(float);
}

// Blocks from this size on are mapped pages of their own.
constexpr std::size_t ZeroPagesFrom = std::size_t(64) << 10;

} // namespace

void* AllocZeroPages(std::size_t Bytes) {
    if (Bytes >= ZeroPagesFrom) {
        void* p =
            ::mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return p;
    }
    if (void* p = std::calloc(Bytes ? Bytes : 1, 1)) return p;
    throw std::bad_alloc();
}

void FreeZeroPages(void* P, std::size_t Bytes) noexcept {
    if (!P) return;
    if (Bytes >= ZeroPagesFrom)
        ::munmap(P, Bytes);
    else
        std::free(P);
}

void MakeZeroBuffer(TFloatBuffer& Buffer, std::size_t Count) {
    if (Buffer.size() == Count) {
        std::fill(Buffer.begin(), Buffer.end(), 0.0f);
        return;
    }
    TFloatBuffer fresh; // new pages: zero without a write
    fresh.resize(Count);
    Buffer.swap(fresh);
}

const std::uint8_t* EventBlock(const _TEvent& E) {
    const TSysexBlock* block = std::get_if<TSysexBlock>(&E.Data);
    return block ? block->get() : nullptr;
}

std::uint32_t EventValue(const _TEvent& E) {
    const std::uint32_t* value = std::get_if<std::uint32_t>(&E.Data);
    return value ? *value : 0;
}

void SetEventBlock(_TEvent& E, const std::uint8_t* Bytes, int Len) {
    if (Len < 1 || !Bytes) {
        E.Data = std::monostate{};
        E.DataLen = 0;
        return;
    }
    TSysexBlock block(new std::uint8_t[static_cast<std::size_t>(Len)]);
    std::memcpy(block.get(), Bytes, static_cast<std::size_t>(Len));
    E.Data = std::move(block);
    E.DataLen = Len;
}

void SetEventValue(_TEvent& E, std::uint32_t Value) {
    E.Data = Value;
    E.DataLen = 0;
}

std::atomic<std::uint64_t> EventListEpoch{0};

const std::atomic<float> TSendLevels::Zeros[SendCount] = {};

TSendLevels::~TSendLevels() {
    const std::atomic<float>* row = Row.load(std::memory_order_relaxed);
    if (row != Zeros) delete[] row;
}

namespace {

// Writes only a value that differs: most slots of a song are never touched, and a clear that
// reads them costs far less than one that stores into each.
template <class T> void Put(std::atomic<T>& A, T V) {
    if (A.load(std::memory_order_relaxed) != V) A = V;
}

} // namespace

void ResetSoftOut(TSoftOut& Out, int SlotIndex) {
    if (!Out.Name.empty()) Out.Name.clear();
    Put(Out.Volume, 1.0f);
    Put(Out.Pan, 0.0f);
    Put(Out.Bus, -1);
    Put(Out.Mute, 0);
    Put(Out.Solo, 0);
    Put(Out.Active, SlotIndex == 0 ? 1 : 0);
    Put(Out.PeakLeft, 0.0f);
    Put(Out.PeakRight, 0.0f);
    Put(Out.Gain, 1.0f); // neither muted nor soloed
    // Only a row whose levels were set since the last reset has any to put back. The row
    // stays with the slot (the renderer may be reading it); each level is read on its own,
    // so relaxed stores are enough.
    TSendLevels& sends = Out.Sends;
    if (sends.Dirty) {
        auto* row = const_cast<std::atomic<float>*>(sends.Row.load(std::memory_order_relaxed));
        for (int j = 0; j < SendCount; ++j)
            row[j].store(0.0f, std::memory_order_relaxed);
        sends.Dirty = false;
    }
    Out.Inserts.Clear();
}

void TSoftOuts::Reset(bool FreeInserts) {
    const std::size_t n = UsedCount();
    for (std::size_t s = 0; s < n; ++s) {
        TSoftOut& slot = slots_[s];
        if (FreeInserts) SongEngines().FreeInserts(slot);
        ResetSoftOut(slot, static_cast<int>(s));
    }
    // A slot handed out while this ran (by the renderer) raised the count: it stays.
    std::size_t expected = n;
    if (n != 0) used_.compare_exchange_strong(expected, 0, std::memory_order_relaxed);
}

bool SetSendLevel(TSoftOut& Slot, int J, float Value) {
    if (J < 0 || J >= SendCount || !std::isfinite(Value)) return false;
    if (Slot.Owner) Slot.Owner->MarkUsed(Slot);
    TSendLevels& sends = Slot.Sends;
    const std::atomic<float>* row = sends.Row.load(std::memory_order_relaxed);
    if (row == TSendLevels::Zeros) {
        // The slot's own row, all zeros, published whole before the renderer can see it.
        auto* own = new std::atomic<float>[SendCount];
        for (int j = 0; j < SendCount; ++j)
            own[j].store(0.0f, std::memory_order_relaxed);
        own[J].store(Value, std::memory_order_relaxed);
        sends.Row.store(own, std::memory_order_release);
    } else {
        const_cast<std::atomic<float>*>(row)[J].store(Value, std::memory_order_relaxed);
    }
    sends.Dirty = true;
    return true;
}

bool IsMidiMode(int Mode) {
    return Mode == tmMidi || Mode == tmSoftsynth;
}

int SongBeatsPerBar() {
    if (!Song) return 4;
    int bpb = Song->BeatsPerBar;
    return bpb > 0 ? bpb : 1;
}

int BarTicks() {
    std::int64_t ticks = static_cast<std::int64_t>(SongBeatsPerBar()) * 240;
    return ticks > INT_MAX ? INT_MAX : static_cast<int>(ticks);
}

namespace {

void FreeTrackParts(_TTrack& T) {
    for (_TPart* p = T.Parts; p;) {
        _TPart* next = p->Next;
        FreePart(p);
        p = next;
    }
    T.Parts = nullptr;
}

} // namespace

TSong::TSong() {
    // 1. Plain fields.
    BeatsPerBar = 4;
    FileName = "Undefined.seq";
    LeftLocator = 0;
    RightLocator = 1920;
    Position = 0;
    LoopOn = 0;
    SoloTrack = -1;
    IsMidiFile = 0;
    // A step that throws leaves nothing behind: what the steps before it made is freed.
    struct TFreeOnThrow {
        TSong* Song;
        ~TFreeOnThrow() {
            if (Song) Song->FreeAll();
        }
    } freeOnThrow{this};
    // 2. Holders and buffers.
    Grooves = new TGroove;
    SamplePool = new TDXWaveList;
    Todos = new TTodoQueue;
    SongEngines().CreateHolders(*this);
    MakeZeroBuffer(MixBuffer, FloatsOf(176400));
    SyncToAudio = 1;
    PlayStart = 0;
    Clipboard = nullptr;
    RespondToStartStop = 0;
    // 3.
    platform::TIniFile ini("tolvern.ini");
    DefaultTrackMode = ini.ReadInteger("Default", "TrackMode", 2);
    int defaultDevice = ini.ReadInteger("Options", "Default device", 0);
    // 4. The tracks; every mode takes the default device here, unlike a new song.
    for (int i = 0; i < TrackCount; ++i) {
        // Default-made, not value-made: a track's records are set by their own initializers,
        // and zeroing them first would only double the writes.
        std::unique_ptr<_TTrack> t(new _TTrack);
        t->Name = "Track " + std::to_string(i + 1);
        t->Channel = i % 16;
        t->Output = defaultDevice;
        t->Mode = DefaultTrackMode;
        t->Outputs.Reset(false);
        Tracks[i] = std::move(t);
    }
    // 5. The metronome.
    Tracks[MetronomeIndex].reset(new _TTrack);
    Tracks[MetronomeIndex]->Outputs.Reset(false);
    MetronomePart = NewPart("", 0, 240, MetronomeIndex);
    InitMetronome();
    // 6. Disk outputs; the strips with the master's come from the mixer engine.
    DiskOutputs.Reset(false);
    // 7.
    CurrentTrackIndex = 0;
    RecordPart = nullptr;
    EditRes = 16;
    Untitled = 1;
    Modified = 0;
    InputQuantize = 0;
    Precounts = ini.ReadInteger("beep", "precounts", 4);
    // 8. The undo store is the song's own; the engines come from their units.
    UndoStore = new TUndo(*this);
    Engine = new TEngine;
    AudioEngine = new TAudioEngine;
    SongEngines().CreateEngines(*this);
    // 9.
    SetCurrentPart(nullptr);
    // 10.
    for (auto& buffer : SampleMixBuffers)
        MakeZeroBuffer(buffer, FloatsOf(176400));
    for (int i = 0; i < 4; ++i)
        MakeZeroBuffer(PlugBuffers[i], FloatsOf(88200));
    MakeZeroBuffer(PlugBuffers[4], FloatsOf(176400));
    MasterOut.Volume = 1.0f;
    MasterOut.Bus = 0; // the master slot has nothing but its volume set
    SongEngines().CreateStrips(*this);
    freeOnThrow.Song = nullptr;
}

TSong::~TSong() {
    FreeAll();
}

void TSong::FreeAll() {
    if (Todos) ClearTodos(); // before the lists they name go
    delete Engine;
    Engine = nullptr;
    delete AudioEngine;
    AudioEngine = nullptr;
    // Without every track the engines were never made, nor parts added.
    if (std::all_of(Tracks.begin(), Tracks.end(), [](const auto& t) { return t != nullptr; })) {
        SongEngines().DestroyAll(*this);
        for (int i = 0; i < TrackCount; ++i)
            FreeTrackParts(*Tracks[i]);
    }
    ClearClipboard();
    FreeMetronome();
    delete UndoStore;
    UndoStore = nullptr;
    delete SamplePool;
    SamplePool = nullptr;
    delete Grooves;
    Grooves = nullptr;
    delete Todos;
    Todos = nullptr;
}

void TSong::FreeMetronome() {
    if (!MetronomePart) return;
    FreePart(MetronomePart); // frees the ring's two events once each
    MetronomePart = nullptr;
}

bool TSong::InitMetronome() {
    _TTrack* t = MetronomeTrack();
    MetronomePart->Track = MetronomeIndex;
    MetronomePart->Next = nullptr;
    t->Output = 0;
    t->Channel = 9;
    t->Program = -1;
    t->Bank = -1;
    _TEvent* on = NewEvent(120, PackMidiMsg(0x90, 36, 63));
    _TEvent* off = NewEvent(120, PackMidiMsg(0x90, 36, 0));
    on->Next = off;
    off->Next = on;
    MetronomePart->Events = on;
    return true;
}

void TSong::Clear() {
    // 1.
    FileName = "Undefined.seq";
    platform::TIniFile ini("tolvern.ini");
    BeatsPerBar = 4;
    int defaultDevice = ini.ReadInteger("Options", "Default device", 0);
    // Deferred actions of the old song go before any list is emptied: an add the renderer
    // carried out after its slot was reset would stay in the new song. Dropping waits for a
    // renderer that is carrying them out; the GUI thread, the only one that queues, queues
    // nothing during the clear.
    ClearTodos();
    SongEngines().ClearTodos(*this);
    // 2. The tracks; the controller 0 goes to the port of each MIDI track before it is reset.
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack& t = *Tracks[i];
        // The name is made in place and written only when it differs.
        char name[16] = "Track ";
        const char* nameEnd = std::to_chars(name + 6, name + sizeof name, i + 1).ptr;
        const std::string_view fresh(name, static_cast<std::size_t>(nameEnd - name));
        if (t.Name != fresh) t.Name = fresh;
        // The shared fields are stored only when they change: each store is a full barrier,
        // which would cost more than the rest of a clear of an unused track.
        Put(t.Channel, i % 16);
        t.Bank = -1;
        SendToTrack(&t, PackMidiMsg(0xB0 + t.Channel, 0, 0), tsMidiOnly);
        t.Program = -1;
        FreeTrackParts(t);
        Put(t.Mute, std::uint8_t{0});
        t.Volume = -1;
        t.Pan = -1;
        t.Reverb = -1;
        t.Chorus = -1;
        Put(t.Transpose, 0);
        Put(t.Mode, DefaultTrackMode);
        Put(t.Output, DefaultTrackMode == tmMidi ? defaultDevice : 0);
        t.Layout = 256;
        t.UserFile.clear();
        t.FX = -1;
        t.Offset = 0;
        SongEngines().FreeMixChannel(t);
        t.MixChannel = nullptr;
        t.Outputs.Reset(true);
        t.Samples.clear();
        SongEngines().FreeAutoPlugs(t);
        t.AutoPlugs.clear();
    }
    // 3.
    DiskOutputs.Reset(true);
    // 4.
    ClearClipboard();
    SongEngines().ClearSoftsynths();
    SongEngines().ClearBuses();
    Engine->Clear();
    SongEngines().ClearMidiQueue(*this);
    SongEngines().ClearSampleVoices(*this);
    SongEngines().ResetSoftsynthQueues();
    // 5.
    RecordPart = nullptr;
    SetCurrentPart(nullptr);
    std::error_code ec;
    Folder = std::filesystem::current_path(ec).string() + "/";
    SongEngines().BeginUndo(*this, 0, "Undo");
    BeatsPerBar = 4;
    MasterOut.Volume = 1.0f;
    SongEngines().ResetMasterStrip(*this);
    SongEngines().FreeDiskSamples(*this);
    // 6.
    MainWindow().RefreshMixer();
}

int TSong::GridTicks() const {
    // A hostile resolution never gives a grid of 0 ticks.
    int grid = EditRes > 0 ? 960 / EditRes : 960;
    return grid > 0 ? grid : 1;
}

_TTrack* TSong::TrackAt(int Index) const {
    return Index >= 0 && Index < TrackCount ? Tracks[Index].get() : nullptr;
}

_TTrack* TSong::CurrentTrack() const {
    // An index out of range (a hostile file) falls back to the first track.
    _TTrack* t = TrackAt(CurrentTrackIndex);
    return t ? t : Tracks[0].get();
}

std::uint8_t TSong::CurrentChannel() const {
    int c = CurrentTrack()->Channel;
    return c == -1 ? 0 : static_cast<std::uint8_t>(c);
}

std::uint8_t TSong::TrackChannel(int Index) const {
    _TTrack* t = TrackAt(Index);
    if (!t || t->Channel == -1) return 0;
    return static_cast<std::uint8_t>(t->Channel);
}

int TSong::SongEnd() const {
    std::int64_t end = 0;
    for (int i = 0; i < TrackCount; ++i)
        for (const _TPart* p = Tracks[i]->Parts; p; p = p->Next)
            if (static_cast<std::int64_t>(p->Start) + p->Length > end)
                end = p->Start + static_cast<std::int64_t>(p->Length);
    return end > INT_MAX ? INT_MAX : static_cast<int>(end);
}

bool TSong::PrepareRecordPart() {
    _TTrack* track = CurrentTrack();
    int left = LeftLocator, right = RightLocator;
    RecordPart = PartAtTick(track, left);
    if (!RecordPart) {
        int length = left < right ? right - left : 960;
        int index = TrackAt(CurrentTrackIndex) ? CurrentTrackIndex : 0;
        RecordPart = NewPart(track->Name, left, length, index);
        if (!InsertPart(track, RecordPart)) {
            RecordPart->Length = 960;
            if (!InsertPart(track, RecordPart) && track->Parts && track->Parts->Start > left) {
                // The first part starts within 960 ticks: the record part ends where it starts,
                // so that what is recorded stays in the song.
                RecordPart->Length = track->Parts->Start - left;
                InsertPart(track, RecordPart);
            }
        }
    }
    RecordPart->Flags |= pfSelected;
    SetCurrentPart(RecordPart);
    return true;
}

void TSong::SetCurrentPart(_TPart* Part) {
    CurrentPart = Part;
    int notMidi = 0;
    if (Part) {
        _TTrack* t = TrackAt(Part->Track);
        notMidi = t && IsMidiMode(t->Mode) ? 0 : 1;
    }
    SongEngines().BroadcastCurrentPart(Part, notMidi);
    MainWindow().RefreshParamEditorIfNoPart();
}

void TSong::ClearClipboard() {
    for (_TPart* p = Clipboard; p;) {
        _TPart* next = p->Next;
        FreePart(p);
        p = next;
    }
    Clipboard = nullptr;
}
