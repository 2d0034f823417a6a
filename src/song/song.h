#pragma once
// The song: its plain records (events, parts, tracks, output slots, sample slots) and the one
// song object of the program. Fields that the audio thread, the MIDI callbacks or the MIDI
// input read while the GUI thread writes them are atomics.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <variant>

#include "song/todo.h"
#include <vector>

class TAudioEngine;
class TAutoPlug;
struct TAutoPoint;
class TChannel;
class TDiskSample;
class TDXWaveList;
class TEngine;
class TGroove;
struct _TGroovesItem;
class TSub;
class TTodoQueue;
class TTodoTarget;
class TUndo;

// Event flags.
constexpr std::uint32_t efSelected = 0x01;
constexpr std::uint32_t efWork = 0x02; // set and consumed inside one command
constexpr std::uint32_t efRedraw = 0x08;
constexpr std::uint32_t efMuted = 0x10;
constexpr std::uint32_t efEngine = 0x20; // made by a playback engine for its own queue

// Part flags.
constexpr std::uint32_t pfSelected = 0x01;
constexpr std::uint32_t pfMuted = 0x02;
constexpr std::uint32_t pfRedraw = 0x08;

constexpr int TrackCount = 128;      // the song's tracks; every "all tracks" loop stops here
constexpr int MetronomeIndex = 128;  // entry of Tracks that belongs to the metronome
constexpr int OutputSlotCount = 128; // output slots of a track, softsynth or the disk tracks
constexpr int SendCount = 128;

// What an event carries beside its message: the block of a system-exclusive event (status
// 0xF0, data 1 = 0; its first byte is the 0xF0 itself) or the value of a 32-bit value event
// (status 0xF0, data 1 = 1, a packed NRPN); nothing for every other event.
using TSysexBlock = std::unique_ptr<std::uint8_t[]>;
using TEventData = std::variant<std::monostate, TSysexBlock, std::uint32_t>;

struct _TEvent {
    std::int32_t Delta = 0; // ticks after the previous event (after the part start for the first)
    std::uint32_t Msg = 0;  // packed message
    std::uint32_t Flags = 0;
    _TEvent* Next = nullptr;
    TEventData Data;
    std::int32_t DataLen = 0; // bytes of the block in Data
    _TEvent* Prev = nullptr;  // filled only while SortPartEvents runs
    std::int32_t PlayMark = 0;
    std::int32_t ToGo = 0; // ticks to go in the playback queues
    std::int32_t Work = 0;
};

// The block of a system-exclusive event, or nil.
const std::uint8_t* EventBlock(const _TEvent& E);
// The value of a 32-bit value event, or 0.
std::uint32_t EventValue(const _TEvent& E);
// Gives the event its own copy of Len bytes (none when Len < 1).
void SetEventBlock(_TEvent& E, const std::uint8_t* Bytes, int Len);
void SetEventValue(_TEvent& E, std::uint32_t Value);
// Frees one event with its block.
void FreeEvent(_TEvent* E);
// Counts every event made or freed, every part linked, unlinked or freed, and every hold of
// the renderer by the GUI thread (taken and given back): what a window or the renderer remembers
// of walking a track's parts and events holds only while it stays the same.
extern std::atomic<std::uint64_t> EventListEpoch;

struct _TPart {
    _TEvent* Events = nullptr;
    std::int32_t Length = 0; // ticks, greater than 0
    std::string Name;
    _TPart* Next = nullptr; // next part of the track (or of the part clipboard)
    std::int32_t Start = 0;
    std::int32_t Track = 0; // owning track; 128 for the metronome part
    std::uint32_t Flags = 0;
    std::int32_t Group = 0;
    std::int32_t EndTime = 0; // sum of all deltas
    _TEvent* Last = nullptr;  // tail, kept only while a part is built by AppendEvent
    std::int32_t Sample = -1; // disk tracks: index into DiskSamples
};

// The send levels of one output slot. A slot whose sends were never set reads them from one
// shared row of zeros; its own row is made by the first SetSendLevel and lives as long as the
// slot, so a new song holds (and a clear puts back) only the rows that were used. The renderer
// reads each level on its own, lock-free.
struct TSoftOut;

class TSendLevels {
public:
    TSendLevels() = default;
    ~TSendLevels();
    TSendLevels(const TSendLevels&) = delete;
    TSendLevels& operator=(const TSendLevels&) = delete;

    const std::atomic<float>& operator[](std::size_t J) const {
        return Row.load(std::memory_order_acquire)[J];
    }
    // True once a level was set: the slot has a row of its own.
    bool Used() const { return Row.load(std::memory_order_relaxed) != Zeros; }

private:
    friend bool SetSendLevel(TSoftOut& Slot, int J, float Value);
    friend void ResetSoftOut(TSoftOut& Out, int SlotIndex);
    static const std::atomic<float> Zeros[];
    std::atomic<const std::atomic<float>*> Row{Zeros};
    bool Dirty = false; // a level was set since the last reset (GUI thread)
};

class TSoftOuts;

// One mixer output slot.
struct TSoftOut {
    std::string Name;
    std::atomic<float> Volume{1.0f};
    std::atomic<float> Pan{0.0f};
    std::atomic<std::int32_t> Bus{-1}; // -1 master mix, else the receiving bus
    std::atomic<std::int32_t> Mute{0};
    std::atomic<std::int32_t> Solo{0};
    std::atomic<std::int32_t> Active{0};
    std::atomic<float> PeakLeft{0.0f};
    std::atomic<float> PeakRight{0.0f};
    std::atomic<float> Gain{0.0f};
    std::atomic<std::int32_t> Channels{0};
    TSendLevels Sends; // written only by SetSendLevel
    // Insert effect buses; the mixer adds through deferred actions. Made empty without room,
    // as a song has over 16,000 slots.
    TTodoList<TSub> Inserts{0};
    TSoftOuts* Owner = nullptr; // the slots this one is part of; nil for a slot on its own
};

// Puts a slot back to the defaults a track's slot gets when made (its inserts are left to the
// caller, who frees them first). Slot 0 is active, the others are not. Only what differs from
// the defaults is written.
void ResetSoftOut(TSoftOut& Out, int SlotIndex);

// The output slots of a track, a softsynth or the disk tracks. Every slot handed out for change
// (a non-const index, data() or iteration, from any thread) counts as used until the next
// Reset, which puts back only the slots up to the last one used: a song has over 16,000 slots,
// and a clear of it costs what the song used. Const access marks nothing, and neither does a
// write through a slot's address kept from before a Reset (take the slot afresh after it),
// except by SetSendLevel, which marks the slot it sets through its Owner.
class TSoftOuts {
public:
    TSoftOuts() {
        for (TSoftOut& slot : slots_)
            slot.Owner = this;
    }
    TSoftOuts(const TSoftOuts&) = delete;
    TSoftOuts& operator=(const TSoftOuts&) = delete;

    static constexpr std::size_t size() { return OutputSlotCount; }
    TSoftOut& operator[](std::size_t I) {
        Use(I + 1);
        return slots_[I];
    }
    const TSoftOut& operator[](std::size_t I) const { return slots_[I]; }
    TSoftOut* data() {
        Use(size());
        return slots_.data();
    }
    const TSoftOut* data() const { return slots_.data(); }
    TSoftOut* begin() { return data(); }
    TSoftOut* end() { return slots_.data() + size(); }
    const TSoftOut* begin() const { return slots_.data(); }
    const TSoftOut* end() const { return slots_.data() + size(); }

    // How many slots from slot 0 may differ from a reset slot; the others are as Reset leaves
    // them. A change through Used(I) stays within them and marks nothing more.
    std::size_t UsedCount() const { return used_.load(std::memory_order_relaxed); }
    TSoftOut& Used(std::size_t I) { return slots_[I]; }
    // Counts Slot, one of these, as used.
    void MarkUsed(const TSoftOut& Slot) {
        Use(static_cast<std::size_t>(&Slot - slots_.data()) + 1);
    }
    // Frees the inserts of every used slot when FreeInserts, then puts each back with
    // ResetSoftOut (GUI thread). No add of the slots' inserts may be queued: an add carried
    // out after its slot was reset would stay in a slot that no longer counts as used.
    void Reset(bool FreeInserts);

private:
    void Use(std::size_t N) {
        std::size_t u = used_.load(std::memory_order_relaxed);
        while (u < N && !used_.compare_exchange_weak(u, N, std::memory_order_relaxed)) {
        }
    }
    // Ahead of the slots: a clear reads it beside the owner's other fields.
    std::atomic<std::size_t> used_{OutputSlotCount}; // made slots are not yet reset ones
    std::array<TSoftOut, OutputSlotCount> slots_;
};

// Sets send J (0..SendCount-1) of Slot to Value, the one writer of send levels: it marks the
// slot, so that a reset puts back only the sends that were set. GUI thread. False, and nothing
// set, for an index outside the table or a value that is not a number.
bool SetSendLevel(TSoftOut& Slot, int J, float Value);

// One sample slot of an audio track.
class TSample {
public:
    std::atomic<std::int32_t> Index{-1}; // into the song's sample pool
    std::atomic<std::int32_t> Pan{63};
    std::atomic<bool> Mute{false};
    std::atomic<bool> FR{true}; // play the sample to its end whatever the note's length
    std::atomic<std::int32_t> Bus{0};
    std::atomic<float> Volume{1.0f};
};

// Track modes.
constexpr int tmMidi = 0, tmAudio = 1, tmSoftsynth = 2, tmParameter = 3, tmDisk = 4;

struct _TTrack {
    std::atomic<std::int32_t> Transpose{0}; // read by the MIDI input
    std::int32_t Offset = 0;
    std::int32_t Program = -1;
    std::string Name;
    std::atomic<std::int32_t> Channel{0}; // -1 keeps each event's own channel
    std::atomic<std::int32_t> Output{0};
    std::atomic<std::uint8_t> Mute{0};
    _TPart* Parts = nullptr; // sorted by Start
    std::int32_t Bank = -1;
    std::int32_t Volume = -1;
    std::int32_t Pan = -1;
    std::int32_t Reverb = -1;
    std::int32_t Chorus = -1;
    std::atomic<std::int32_t> InputActivity{0};
    std::atomic<std::int32_t> Mode{0};
    std::vector<std::unique_ptr<TSample>> Samples;
    std::vector<TAutoPlug*> AutoPlugs;
    std::int32_t Layout = 256;
    std::string UserFile;
    std::int32_t FX = -1;
    TChannel* MixChannel = nullptr;
    TSoftOuts Outputs;
};

bool IsMidiMode(int Mode);

// Zeroed memory of Bytes; a large block is fresh pages of the system, which cost nothing until
// they are written (calloc may hand out reused heap memory that it must clear first).
void* AllocZeroPages(std::size_t Bytes);
// Gives back a block of AllocZeroPages with the same Bytes.
void FreeZeroPages(void* P, std::size_t Bytes) noexcept;

// Allocator of the large sample buffers: zeroed pages that cost nothing until they are written,
// and making an element writes nothing. So a buffer is made zero only through MakeZeroBuffer,
// never grown by resize after it held data.
template <class T> struct TZeroPagesAllocator {
    using value_type = T;
    TZeroPagesAllocator() = default;
    template <class U> TZeroPagesAllocator(const TZeroPagesAllocator<U>&) noexcept {}
    T* allocate(std::size_t N) {
        if (N > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocZeroPages(N * sizeof(T)));
    }
    void deallocate(T* P, std::size_t N) noexcept { FreeZeroPages(P, N * sizeof(T)); }
    template <class U> void construct(U* P) noexcept {
        ::new (static_cast<void*>(P)) U; // the page is zero already
    }
    template <class U, class... A> void construct(U* P, A&&... Args) {
        ::new (static_cast<void*>(P)) U(std::forward<A>(Args)...);
    }
    friend bool operator==(const TZeroPagesAllocator&, const TZeroPagesAllocator&) { return true; }
};
using TFloatBuffer = std::vector<float, TZeroPagesAllocator<float>>;

// Buffer holds Count zeros afterwards.
void MakeZeroBuffer(TFloatBuffer& Buffer, std::size_t Count);

class TSong {
public:
    TSong();  // Create
    ~TSong(); // Destroy
    TSong(const TSong&) = delete;
    TSong& operator=(const TSong&) = delete;

    std::string FileName;
    std::array<std::unique_ptr<_TTrack>, TrackCount + 1> Tracks;
    std::int32_t CurrentTrackIndex = 0;
    TEngine* Engine = nullptr;
    TAudioEngine* AudioEngine = nullptr;
    TUndo* UndoStore = nullptr;
    _TPart* RecordPart = nullptr;
    _TPart* CurrentPart = nullptr; // changed only by SetCurrentPart
    std::atomic<std::uint8_t> LoopOn{0};
    std::atomic<std::int32_t> SoloTrack{-1};
    std::atomic<std::uint8_t> Looping{0};
    std::atomic<std::int32_t> State{0}; // 0 stopped, 1 recording, 2 playing
    std::atomic<std::int32_t> LeftLocator{0};
    std::atomic<std::int32_t> RightLocator{1920};
    std::atomic<std::int32_t> Position{0};
    std::int32_t EditRes = 16; // divisor of 960
    std::uint8_t Untitled = 1;
    std::uint8_t Modified = 0;
    std::uint8_t InputQuantize = 0;
    std::uint8_t IsMidiFile = 0;
    TGroove* Grooves = nullptr;
    std::string Folder;
    TFloatBuffer MixBuffer; // 176,400 bytes
    TDXWaveList* SamplePool = nullptr;
    std::atomic<std::uint8_t> SyncToAudio{1};
    std::int32_t Precounts = 4;
    std::atomic<std::int32_t> PlayStart{0};
    _TPart* Clipboard = nullptr;
    std::atomic<std::int32_t> BeatsPerBar{4};
    std::atomic<std::uint8_t> RespondToStartStop{0};
    _TPart* MetronomePart = nullptr; // its two events form a ring: never walk it to its end
    TSoftOut MasterOut;
    TChannel* MasterChannel = nullptr;
    std::string SynthPath;
    std::string FxPath;
    std::vector<TDiskSample*> DiskSamples;
    // Samples the purge took out of DiskSamples, closed and freed by FinishDiskPurge.
    std::vector<TDiskSample*> PurgedDiskSamples;
    std::atomic<double> AudioPos{0.0};
    std::atomic<double> PrecountLeft{0.0};
    TChannel* DiskChannel = nullptr;
    TSoftOuts DiskOutputs;
    std::atomic<std::uint8_t> MetronomeOn{0};
    TTodoQueue* Todos = nullptr;

    // New empty song.
    void Clear();
    // One block of Frames interleaved stereo frames into Out (render.cpp). A block that finds
    // the renderer held plays silence, and the song's time still moves on by it.
    void Render(float* Out, int Frames);
    // Frames of the device's time went by without a block: while the song runs, the next block
    // skips them, so that the song keeps to the frames the device played (audio thread).
    void MissFrames(int Frames);
    std::atomic<std::int32_t> MissedFrames{0};

    int GridTicks() const;
    // Tracks 0-127; nil for any other index, the metronome's included.
    _TTrack* TrackAt(int Index) const;
    _TTrack* CurrentTrack() const;
    _TTrack* MetronomeTrack() const { return Tracks[MetronomeIndex].get(); }
    std::uint8_t CurrentChannel() const;
    std::uint8_t TrackChannel(int Index) const;
    int SongEnd() const;
    bool PrepareRecordPart();
    void SetCurrentPart(_TPart* Part);
    // The track that owns CurrentPart, nil when there is none.
    _TTrack* CurrentPartTrack() const;
    void ClearClipboard();
    // The folders searched for softsynths and effects, each ending in a backslash.
    void SynthFolder(std::string& S) const;
    // Makes or frees the mixer strip of audio track TrackIndex as it has sample slots or not.
    void UpdateSampleChannel(int TrackIndex);
    // Disk tracks (disk.cpp): the disk step of a block (Span ticks), the voices of one stretch,
    // the purge (renderer or GUI thread; it only renumbers and detaches), and on the GUI thread
    // closing, deleting and freeing what a purge detached, room for the next purge, freeing all.
    // Play false: the span only goes by, as skipped time.
    void ScheduleDiskBlock(double Span, bool Play = true);
    void ScheduleDiskVoices(double From, double Span, int Offset);
    void PurgeDiskSamples();
    void FinishDiskPurge();
    void ReserveDiskPurge();
    void ClearDiskSamples();
    // Automation (automation.cpp): the points of one block for an entry, nil when nothing
    // applies; deleting the events of one channel (and parameter, unless -1) of a track.
    TAutoPoint* AutomationPoints(TAutoPlug& AutoPlug, int PosSamples, int Frames);
    void DeleteAutomationEvents(int Track, int Slot, bool ShiftDown, int Param);
    void FxFolder(std::string& S) const;
    bool InitMetronome();

    // Playback (engine.cpp, metronome.cpp, todo.cpp).
    void Locate(int Tick, bool Live);
    void StartMidiEngine(int Tick);
    void FeedMidiEngine(TEngine& E);
    bool PrepareMetronome(int Tick);
    // Queues, for softsynth Softsynth (-1: all), the first event at or after Tick of every
    // part of its tracks, Base ticks later (softengine_queue.cpp).
    void PrimeSoftsynthQueues(int Tick, int Softsynth, int Base);
    int PrecountTicks() const;
    // FreeItem frees Item when a clear drops the action before it ran.
    void AddTodo(int Kind, std::intptr_t Wnd, TTodoTarget* List, void* Item,
                 void (*FreeItem)(void*) = nullptr);
    void RunTodos();
    void ClearTodos();

    // Part selection over tracks 0-127.
    void SelectAllParts();
    void UnselectAllParts();
    bool TogglePartsInArea(int Track1, int T1, int Track2, int T2);
    int SelectedPartCount() const;
    _TPart* FirstSelectedPart() const;
    _TPart* EarliestSelectedPart() const;
    _TPart* LastTrackSelectedPart() const;
    _TPart* LatestSelectedPart() const;
    struct TRect {
        int Left = 0, Top = 0, Right = 0, Bottom = 0;
    };
    void SelectedPartsRect(TRect& R) const;

    // Undo (undo.cpp) and the editing commands (partcmds, quantize, noteedit, ctrledit).
    void Undo();
    bool MoveSelectedParts(int DTracks, int DTicks);
    void CopySelectedParts(int DTracks, int DTicks);
    void DeleteSelectedParts(bool WithUndo);
    void AppendParts();
    void GlueParts();
    void SplitParts(int TickA, int TickB, bool SelectedOnly);
    void RenameSelectedParts(const std::string& Name);
    void ToggleSelectedPartsMute();
    void GroupSelectedParts();
    void SelectGroup(int Group);
    void UngroupSelectedParts();
    void MoveTrack(int FromIndex, int ToIndex);
    bool QuantizeSelectedParts(int Grid, bool SelectedNotesOnly);
    bool GrooveSelectedParts(int Grid, const _TGroovesItem* Groove, bool SelectedNotesOnly);
    _TGroovesItem* AddGroove(const std::string& Name, int Count);
    void VelocitySelectedParts(int Value, int Mode, bool SelectedOnly);
    void RampVelocitySelectedParts(int FromTick, int ToTick, bool SelectedOnly, int EndVelocity,
                                   int StartVelocity);
    void LegatoSelectedParts(bool SelectedOnly);
    void LengthSelectedParts(int Ticks, bool SelectedOnly);
    void TransposeSelectedParts(int Semitones);
    void SetPitchSelectedParts(int Note, bool SelectedOnly);
    void DeleteDoublesSelectedParts();
    void StretchNotesToEnd(_TPart* Part, bool SelectedOnly);
    void SelectEventsByField(_TPart* Part, int Value, int Field);
    void ChangeLaneValueAt(_TPart* Part, int Delta, int Controller, int Lane, int Tick);
    void SelectLaneEventsAt(_TPart* Part, int Tick, int Controller, int Lane);
    void DeleteControllersSelectedParts(int Controller);
    void DeleteParamsSelectedParts(int Param);
    void DeleteStatusSelectedParts(int Status);
    bool PartHasStatus(const _TPart* Part, int Status) const;
    bool PartHasController(const _TPart* Part, int Controller) const;
    bool PartHasParam(const _TPart* Part, int Param) const;

private:
    void FreeMetronome();
    // Frees what the song holds; also what a constructor that threw had made so far.
    void FreeAll();
};

// The program's song; the main window makes it.
extern TSong* Song;

// The song's beats per bar as the arithmetic may use it: at least 1 (4 without a song).
int SongBeatsPerBar();
// Ticks of a bar, at least one beat and never beyond the tick range.
int BarTicks();

// Zoom globals that the windows replace from their settings.
extern int NoteHeight, Width16th, AudioWidth16th, TrackHeight, SampleHeight, BeatWidth;
// Mode of new tracks, from [Default] TrackMode.
extern int DefaultTrackMode;
// Work buffers of the audio renderer, allocated by the song's creation.
extern std::array<TFloatBuffer, 32> SampleMixBuffers; // 176,400 bytes each
extern std::array<TFloatBuffer, 5> PlugBuffers;       // four of 88,200 bytes, one 176,400
