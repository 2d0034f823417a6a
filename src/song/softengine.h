#pragma once
// Softsynths: the song's list of software-instrument plug-ins (TSoftEngine, the global
// SoftEngine), each with the queue that turns the events of its tracks into plug-in events
// with frame offsets in every audio block, its output slots and its mixer strip.
//
// Threads: the list changes on the GUI thread with the renderer held off; queues are primed
// and reset on the GUI thread the same way; dispatching and processing run on the audio thread
// and take everything they need from pools made beforehand, so a block allocates nothing.

#include "devices/vst2.h"
#include "platform/core/messages.h"
#include "song/song.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TChannel;
class TMFX;
class TSoftsynthEditor;
class TSub;

// Where a softsynth's editor window stands, as the song file keeps it. Width and Height of a
// rolled-up window are those kept for unrolling it.
struct TEditorPlacement {
    int Left = 0, Top = 0, Width = 168, Height = 201;
    bool RolledUp = false;
    bool Visible = false;
    bool ShowAfterLoad = false; // shown once the song file is read
};

// One pending song event of a softsynth queue.
struct _TSoftNode {
    _TEvent* Event = nullptr;
    std::int32_t Channel = -1; // put on the event's message; -1 keeps the event's own
    _TSoftNode* Next = nullptr;
    std::int64_t At = 0; // ticks from the locate; an entry's ToGo is At - Pos
};

// One event of the current block. An own-interface plug-in receives the list itself, so the
// layout is the interface's event node.
struct _TTimedEvent {
    std::int32_t Frame = 0;  // inside the block
    std::uint32_t Msg = 0;   // packed message
    std::int32_t Source = 0; // 0 for the song's events; in emitted lists the receiving softsynth
    _TTimedEvent* Next = nullptr;
};

// Most events a VST plug-in takes in one block; the rest follow at frame 0 of the next.
constexpr int MaxBlockEvents = 1024;
// Timed events a softsynth keeps ready for its blocks (song, routed, flush and live events).
constexpr int TimedPoolSize = 4096;
// Channels and keys whose notes the queue tracks.
constexpr int NoteChannels = 16, NoteKeys = 128;

class TSoftQ {
public:
    TSoftQ();  // Create
    ~TSoftQ(); // Destroy
    TSoftQ(const TSoftQ&) = delete;
    TSoftQ& operator=(const TSoftQ&) = delete;

    std::int32_t Pos = 0;          // ticks from the locate to the last dispatched event
    std::int32_t SampleBase = 0;   // samples rendered since the locate: the block's first frame
    _TSoftNode* Pending = nullptr; // by At, equal times in the order they came
    _TTimedEvent* Timed = nullptr; // by frame, equal frames in the order they came
    std::uint8_t Empty = 1;
    std::int32_t BaseTick = 0; // song tick of the last dispatched event in the current pass
    // BaseTick as the locate left it: the first loop pass ends RightLocator - LocateBase
    // ticks after the locate.
    std::int32_t LocateBase = 0;
    std::array<std::array<std::uint8_t, NoteKeys>, NoteChannels> NoteOn{};
    std::array<std::array<std::int16_t, NoteKeys>, NoteChannels> NoteCount{};

    // Drops the pending and timed events and NoteOn; counters 0, Empty 1; NoteCount stays.
    void Reset();
    // Links the event in at Pos + its ToGo, after entries of the same time. False when the
    // node pool is used up (it is sized at every locate so that this does not happen).
    bool AddEvent(_TEvent* Event, int Channel);
    // The event as a timed event of the current block (see DispatchSoftsynthEvents); False
    // when the timed pool is used up.
    bool AddTimed(const _TEvent& Event, int Channel, int Source);
    // Unlinks the first pending entry (the next one's ToGo then counts from it).
    void DropHead();
    // Drops every pending entry; events the engine made are freed.
    void ClearEvents();
    _TSoftNode* Head() const { return Pending; }
    // Ticks from the last dispatched event to the entry.
    std::int32_t ToGo(const _TSoftNode& Node) const {
        return static_cast<std::int32_t>(Node.At - Pos);
    }
    void AdvanceSamples(int N) { SampleBase += N; }
    // A velocity-0 note-on for every note flagged in NoteOn, ToGo ticks ahead; the flags clear.
    void QueueNoteOffs(int ToGo);
    // Every pending entry Ticks later.
    void Delay(int Ticks);

    // Timed events: from the pool, linked by frame, back to the pool.
    _TTimedEvent* NewTimed();
    void LinkTimed(_TTimedEvent* Event);
    void FreeTimed(_TTimedEvent* Event);
    // Returns a whole list to the pool.
    void FreeTimedList(_TTimedEvent* List);
    // Unlinks the first timed event; nil when there is none.
    _TTimedEvent* PopTimed();
    // Unlinks the whole timed list and returns it.
    _TTimedEvent* TakeTimed();
    int FreeTimedCount() const { return freeTimedCount_; }

    // GUI thread, renderer held off: room for Entries pending entries besides made note-offs.
    void ReservePending(int Entries);
    // An event this queue made (a note-off at a loop wrap), and giving one back.
    bool IsMadeEvent(const _TEvent* Event) const;
    void FreeMadeEvent(_TEvent* Event);
    // Pending entries the pool still has room for.
    int FreeNodeCount() const { return freeNodeCount_; }

private:
    _TSoftNode* NewNode();
    void FreeNode(_TSoftNode* Node);
    _TEvent* NewMadeEvent();

    std::vector<std::unique_ptr<_TSoftNode[]>> nodeBlocks_;
    _TSoftNode* freeNodes_ = nullptr;
    int freeNodeCount_ = 0;
    int nodeCapacity_ = 0;
    std::unique_ptr<_TEvent[]> made_; // note-offs the queue makes; one per channel and key
    std::vector<_TEvent*> freeMade_;
    std::unique_ptr<_TTimedEvent[]> timedPool_;
    _TTimedEvent* freeTimed_ = nullptr;
    int freeTimedCount_ = 0;
    _TTimedEvent* timedTail_ = nullptr; // last of Timed, for the common append
};

// The VstEvents record of a block, with room for MaxBlockEvents pointers.
struct TVstEventBlock {
    std::int32_t numEvents = 0;
    VstIntPtr reserved = 0;
    std::array<VstEvent*, MaxBlockEvents> events{};
};

class TSoftItem {
public:
    TSoftItem();  // Create: plug-in object, queue, editor window, output slots
    ~TSoftItem(); // Destroy
    TSoftItem(const TSoftItem&) = delete;
    TSoftItem& operator=(const TSoftItem&) = delete;

    std::unique_ptr<TMFX> Plugin;
    std::unique_ptr<TSoftQ> Queue;
    TSoftsynthEditor* Editor = nullptr;
    platform::HWND EditorWnd = 0; // the editor's window, told of program changes
    TSoftOuts Outputs;
    std::int32_t OutputCount = 0;
    std::atomic<std::uint8_t> FlushNotes{0}; // the next block releases every note held
    std::array<VstMidiEvent, MaxBlockEvents> EventRecords{};
    TVstEventBlock EventBlock;
    TChannel* Channel = nullptr;
    TEditorPlacement Placement; // what the headless windows keep of the editor window

    // The entry ToGo ticks after the last dispatched event falls before the end of the block
    // (an overdue one counts as due); then Pos and BaseTick move on to it.
    bool EventDue(int ToGo, int Frames);
    // Plug-in processing and output mixing of one block.
    void Process(float* MixBuffer, int Frames);

    // GUI thread, at adding: the channel pointer arrays for the plug-in's pins.
    void PreparePins();
    // The softsynth's place in the list.
    int Number() const { return number_; }

private:
    friend class TSoftEngine;
    int HandLive(bool Vst, int Room);
    int HandFlush(bool Vst, int Room);
    void CountNote(std::uint32_t Msg);
    void AddRecord(int Frame, std::uint32_t Msg);
    void ProcessOwn(int Frames);
    void ProcessVst(int Frames);
    void Consume(int Frames);

    std::vector<float*> ins_, outs_;
    std::vector<float*> insStart_, outsStart_;
    bool switchedOff_ = false; // the last block found the plug-in switched off
    int number_ = 0;
};

// What a softsynth needs of the windows: its editor, its mixer strip and the plug-in search
// dialog. The headless default makes none of them and cancels the search.
class TSoftsynthWindows {
public:
    virtual ~TSoftsynthWindows() = default;
    // The editor window (main window as parent, 168 x 201) for the plug-in: softsynths show
    // an own-interface editor alone, bus effects under the title bar.
    virtual TSoftsynthEditor* CreateEditor(TMFX* /*Plugin*/, bool /*WithTitleBar*/) {
        return nullptr;
    }
    virtual platform::HWND EditorHandle(TSoftsynthEditor* /*Editor*/) { return 0; }
    // The window an own-interface plug-in builds its editor in when it is loaded.
    virtual platform::HWND EditorParent(TSoftsynthEditor* /*Editor*/) { return 0; }
    virtual void HideEditor(TSoftsynthEditor* /*Editor*/) {}
    virtual void FreeEditor(TSoftsynthEditor* /*Editor*/) {}
    // Shows the plug-in search dialog for FileName (made on first use); False when cancelled.
    // The default asks the dialog installed by SetPluginSearch, and cancels without one.
    virtual bool SearchPlugin(const std::string& FileName);
    // The editor window's place, size, roll-up and visibility, and showing it; headless they
    // are kept with the softsynth, and showing only marks it visible.
    virtual TEditorPlacement Placement(TSoftItem& Item) { return Item.Placement; }
    virtual void SetPlacement(TSoftItem& Item, const TEditorPlacement& P) { Item.Placement = P; }
    virtual void ShowEditorWindow(TSoftItem& Item) { Item.Placement.Visible = true; }
};
TSoftsynthWindows& SoftsynthWindows();
void SetSoftsynthWindows(TSoftsynthWindows* Windows);
// The plug-in search dialog (the windows install it at start-up); empty: the search cancels.
void SetPluginSearch(std::function<bool(const std::string& FileName)> Search);

// The song's softsynths.
class TSoftEngine {
public:
    TSoftEngine();  // Create: empty list, Recent from tolvern.ini
    ~TSoftEngine(); // Destroy: frees the softsynths, writes Recent back
    TSoftEngine(const TSoftEngine&) = delete;
    TSoftEngine& operator=(const TSoftEngine&) = delete;

    std::vector<TSoftItem*> Items;   // index = softsynth number
    std::vector<std::string> Recent; // newest first, at most MaxRecent

    static constexpr std::size_t MaxRecent = 5;

    int Count() const { return static_cast<int>(Items.size()); }
    TSoftItem* GetItem(int Index) const;
    // Loads a softsynth (searching for a missing file) and appends it; a plug-in that cannot
    // be found or loaded still gives a (silent) softsynth.
    TSoftItem* AddSoftsynth(std::string FileName);
    void AddRecent(const std::string& FileName);
    void MoveUp(TSoftItem* Item);
    // Takes softsynth Index out of the list (later ones move down) and frees it once neither
    // the renderer, the MIDI input nor an automation entry can reach it.
    void Remove(int Index);
    void Clear();
    void ResetQueues();
    // Delivers the events an own-interface plug-in emitted to the softsynths they name.
    void RouteEvents(const _TTimedEvent* List);

    // MIDI input thread: the plug-in of softsynth Index, nil outside the list. Reads a copy
    // the GUI thread publishes after every change of the list, never the list itself.
    TMFX* InputPlugin(int Index) const;
    int InputCount() const { return published_.load(std::memory_order_acquire); }

    // Every slot's Gain from its own switches and the solos of the others: softsynth outputs,
    // the active slots of audio tracks with sample slots, the active disk outputs.
    static void UpdateMuteSolo();

private:
    void Publish();
    static constexpr int MaxPublished = 1024;
    std::array<std::atomic<TMFX*>, MaxPublished> inputPlugins_{};
    std::atomic<int> published_{0};
    std::vector<std::string> readRecent_;
};

// Looks for a plug-in file that is not there below the softsynth folder (the effect folder
// for Effect), showing the search dialog after each miss until it is found or cancelled;
// FileName becomes what was found.
void LocatePluginFile(std::string& FileName, bool Effect);

// The program's softsynths; the song makes them (nil without a song).
extern TSoftEngine* SoftEngine;

// Every softsynth releases its notes in its next block (stop and pause).
void StopSoftsynthNotes();
// One softsynth's block: its due events while the song runs, then its processing.
void DispatchSoftsynthEvents(TSoftItem& Item, int Frames);
// The plug-in of the softsynth the current track plays; nil when there is none.
TMFX* CurrentSynthPlugin();

// The song's softsynth engine made and freed with the song (the song engines' defaults).
void CreateSoftEngine();
void DestroySoftEngine();
