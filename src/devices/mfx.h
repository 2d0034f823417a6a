#pragma once
// The plug-in object: one loaded plug-in instance, VST 2 (entry "main") or the program's own
// effect interface (entry "MFXConnect"), behind one set of operations for parameters, names,
// the editor, queued real-time events and block processing.

#include "devices/vst2.h"
#include "platform/core/dynlib.h"
#include "platform/core/messages.h"
#include "tolvern_mfx.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TAutoPlug;

// One queued real-time event: a packed MIDI message, or a program number to select.
struct TRTEvent {
    bool IsMidi = false;
    std::uint32_t Value = 0;
};

// The events handed to a plug-in instance for its next block. The GUI and MIDI-input threads
// push, the audio thread pops; bounded and lock-free, so no thread ever waits on another.
class TRTEventQueue {
public:
    static constexpr std::size_t Capacity = 1024;
    TRTEventQueue();
    bool Push(const TRTEvent& Event); // False (event dropped) when full
    bool Pop(TRTEvent& Event);        // False when empty
    void Clear();                     // consumer side
    bool Empty() const;

private:
    struct Cell {
        std::atomic<std::size_t> Seq;
        TRTEvent Event;
    };
    std::array<Cell, Capacity> cells_;
    std::atomic<std::size_t> head_{0}; // next to push
    std::atomic<std::size_t> tail_{0}; // next to pop
};

// Live messages from the MIDI input (thru into a softsynth): exactly one producer, the MIDI
// input callback, and one consumer, the audio thread. Bounded and lock-free; a full queue
// drops the message rather than make either side wait.
class TInputEventQueue {
public:
    static constexpr std::size_t Capacity = 1024;
    bool Push(std::uint32_t Msg); // producer; False (dropped) when full
    bool Pop(std::uint32_t& Msg); // consumer; False when empty
    bool Empty() const;

private:
    std::array<std::uint32_t, Capacity> cells_{};
    alignas(64) std::atomic<std::size_t> head_{0}; // next to push (producer)
    alignas(64) std::atomic<std::size_t> tail_{0}; // next to pop (consumer)
};

// One automation point of a block, built by the automation side, ordered by offset.
struct TAutoPoint {
    std::int32_t Param = 0;
    std::int32_t Offset = 0; // frames within the block
    float Value = 0.0f;      // 0..1
    float Slope = 0.0f;
    TAutoPoint* Next = nullptr;
};

// An own-interface plug-in receives the list itself: the layout is the interface's.
static_assert(sizeof(TAutoPoint) == sizeof(TMfxAutoPoint) &&
              offsetof(TAutoPoint, Value) == offsetof(TMfxAutoPoint, Value) &&
              offsetof(TAutoPoint, Next) == offsetof(TMfxAutoPoint, Next));

struct TParamEntry {
    std::int32_t Index;
    std::int32_t Kind;
};

struct TEditorSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// Where plug-ins draw their own editors: windows of the display behind windows of the window
// model. A VST plug-in's editor lives in a child panel of a window control; an own-interface
// plug-in builds its editor in the window it got at its load. The plug-in editor window
// installs the real one; the headless default makes no panel and has no display windows.
class TPluginPanels {
public:
    virtual ~TPluginPanels() = default;
    // A hidden child panel of Parent for a VST editor; 0 when none can be made.
    virtual platform::HWND CreatePanel(platform::HWND /*Parent*/) { return 0; }
    // Places the panel at (0, 0) with that size and shows it in front.
    virtual void ShowPanel(platform::HWND /*Panel*/, int /*Width*/, int /*Height*/) {}
    virtual void FreePanel(platform::HWND /*Panel*/) {}
    // The id of the display's window behind Wnd (an X11 window id): what a plug-in takes as its
    // editor's parent. 0 when Wnd has none (headless, offscreen): no editor opens there.
    virtual std::uintptr_t NativeWindowId(platform::HWND /*Wnd*/) { return 0; }
};
TPluginPanels& PluginPanels();
void SetPluginPanels(TPluginPanels* Panels);
// Says once per run on standard error that plug-in editors are not shown (no display windows
// to put them in); the generic parameter pages stand in for them.
void NoNativeWindowNotice();

// The most pins of either direction a block hands a VST plug-in; larger counts are capped.
constexpr int MaxPluginPins = 4096;
// The most parameters a VST plug-in offers for automation.
constexpr int MaxAutomatedParams = 128;

class TMFX {
public:
    TMFX();
    ~TMFX();
    TMFX(const TMFX&) = delete;
    TMFX& operator=(const TMFX&) = delete;

    TAutoPlug* AutoLink = nullptr;
    std::atomic<std::int32_t> Enabled{1};
    bool Automated = false;
    platform::HMODULE Dll = 0;
    std::string Path;
    bool Loaded = false;
    TMfxInterface* Interface = nullptr;
    AEffect* Effect = nullptr;
    platform::HWND EditorPanel = 0;
    std::atomic<bool> WantsIdle{false};
    bool HasEditor = false;
    std::uint8_t Kind = 0; // 0 own interface, 1 VST
    bool EditorOpen = false;
    ERect* EditorRect = nullptr;
    TEditorSize EditorSize;
    int ParamCount = 0;
    std::vector<TParamEntry> Params;
    TRTEventQueue Events;         // the GUI thread's live events
    TInputEventQueue InputEvents; // the MIDI input's live events
    TAutoPoint* BlockAutomation = nullptr;

    bool Load(platform::HWND ParentWnd);
    bool Unload();
    std::intptr_t Command(int Cmd, std::intptr_t A, std::intptr_t B);
    // A VST dispatcher call; 0 unless a VST plug-in is loaded.
    VstIntPtr Dispatch(int Opcode, int Index = 0, VstIntPtr Value = 0, void* Ptr = nullptr,
                       float Opt = 0.0f);
    int NumParams() const;
    void GetParamName(int Index, std::string& Name);
    void GetParamDisplay(int Index, std::string& Text);
    double GetParameter(int Index);
    void SetParameter(int Index, double Value);
    int NumPrograms() const;
    int NumOutputs();
    void GetName(std::string& Name) const;
    void OpenEditor(platform::HWND ParentWnd);
    void ShowEditor(platform::HWND Parent, TEditorSize& Size);
    void CloseEditor();
    // GUI thread: queues a live event for the next processed block.
    void AddEvent(bool IsMidi, std::uint32_t Value);
    // MIDI input callback only: queues a live MIDI message for the next processed block. A
    // softsynth hands it over after the GUI's live events of that block, in arrival order.
    // False when the plug-in is not loaded or the queue is full.
    bool AddInputEvent(std::uint32_t Msg);
    void Process(float* InBuf, float* OutBuf, int Frames, bool SendBus, bool Replace);
    // One VST block on the given pins: while the song runs, the block's automation points
    // (set by command 10) are applied and the block is cut at their frames; processReplacing
    // when the plug-in can, else process. The pointers in Ins and Outs are moved on.
    void ProcessPins(float** Ins, int NumIns, float** Outs, int NumOuts, int Frames);

private:
    void ProcessVst(float* InBuf, float* OutBuf, int Frames, bool SendBus, bool Replace);
    void Release();
    // The pin pointer arrays of a block, made at load so that processing allocates nothing.
    std::vector<float*> inPins_, outPins_;
};

// The MIDI input thread reaches plug-in objects (the thru plug-in, the published softsynths)
// without locks. It brackets every use, from reading the pointer to its last call, with a
// TInputPluginUse; the GUI thread frees such an object only after it has unpublished it and
// WaitInputPluginUses has returned, so no use can still hold it. The input thread never waits.
class TInputPluginUse {
public:
    TInputPluginUse();
    ~TInputPluginUse();
    TInputPluginUse(const TInputPluginUse&) = delete;
    TInputPluginUse& operator=(const TInputPluginUse&) = delete;

private:
    unsigned parity_ = 0;
};
// GUI thread: returns once every use begun before the call is over.
void WaitInputPluginUses();

// 'A' 'B' 'C' 'D' as a 32-bit value, the first character in the most significant byte.
constexpr std::int32_t CCONST(int A, int B, int C, int D) {
    return static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(A) << 24) + (static_cast<std::uint32_t>(B & 255) << 16) +
        (static_cast<std::uint32_t>(C & 255) << 8) + static_cast<std::uint32_t>(D));
}

// The loaded softsynths in the softsynth engine's order, for MfxHostCallback: nil past the
// last. The softsynth engine installs it; without it there are none.
using TLoadedSoftsynthFn = TMFX* (*)(int Index);
void SetLoadedSoftsynths(TLoadedSoftsynthFn Fn);
extern "C" std::int32_t MfxHostCallback(void* Context, std::int32_t Cmd, std::int32_t Index,
                                        const char** Name);
