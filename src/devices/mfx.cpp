#include "devices/mfx.h"

#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/vsthost.h"
#include "platform/core/dialogs.h"
#include "platform/core/paths.h"
#include "song/song.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

TPluginPanels defaultPanels;
TPluginPanels* panels = &defaultPanels;

TLoadedSoftsynthFn loadedSoftsynths = nullptr;
std::string HostText;

// The sample rate whose address the own interface keeps for the whole run when there is no
// audio object.
float fallbackRate = 44100.0f;

// The largest editor width or height taken from a plug-in.
constexpr std::int32_t MaxEditorExtent = 8192;

// Generously sized for whatever a plug-in writes; the name is taken from its first 32 bytes.
constexpr int TextBufferBytes = 256;

// Scratch buffers of the VST block: de-interleaved inputs, outputs, a silent input for extra
// pins and a sink for extra outputs. Only the renderer's thread processes, one block at a time.
constexpr int ScratchFrames = MaxAudioFrames;
float scratchL[ScratchFrames], scratchR[ScratchFrames];
float scratchO1[ScratchFrames], scratchO2[ScratchFrames];
float scratchSilence[ScratchFrames], scratchDiscard[ScratchFrames];

int HostBlockSize() {
    return Audio ? Audio->Frames : 4096;
}
float HostRate() {
    return AudioRate();
}
const float* HostRateAddress() {
    return Audio ? &Audio->Rate : &fallbackRate;
}
int HostTempo() {
    return Midi ? Midi->Tempo.load() : 120;
}

std::string TakeText(const char* Buffer) {
    std::size_t n = strnlen(Buffer, MFX_TEXT_BYTES);
    std::string s(Buffer, n);
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && blank(s[i]))
        ++i;
    return s.substr(i);
}

void ShowError(std::string_view Text) {
    platform::MessageBox(Text, "Error", platform::MB_ICONERROR);
}

template <typename Fn> auto Guarded(Fn f) -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        return nullptr;
    }
}

} // namespace

TPluginPanels& PluginPanels() {
    return *panels;
}
void SetPluginPanels(TPluginPanels* Panels) {
    panels = Panels ? Panels : &defaultPanels;
}
void NoNativeWindowNotice() {
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    std::fputs("Plug-in editors need an X11 display: plug-ins show their parameter pages "
               "instead.\n",
               stderr);
}
void SetLoadedSoftsynths(TLoadedSoftsynthFn Fn) {
    loadedSoftsynths = Fn;
}

extern "C" std::int32_t MfxHostCallback(void* /*Context*/, std::int32_t Cmd, std::int32_t Index,
                                        const char** Name) {
    if (Cmd != 1 || Index < 0 || !loadedSoftsynths) return -1;
    TMFX* synth = loadedSoftsynths(Index);
    if (!synth) return -1;
    synth->GetName(HostText);
    if (Name) *Name = HostText.c_str();
    return 1;
}

// ---- uses of plug-in objects by the MIDI input thread ----

namespace {
// Uses are counted under the parity of the generation they began in. A wait moves the
// generation on and drains the count of the one before, so a steady stream of new uses, which
// count under the new parity, never keeps it waiting.
std::atomic<unsigned> inputGeneration{0};
std::array<std::atomic<int>, 2> inputUses{};
} // namespace

TInputPluginUse::TInputPluginUse() {
    for (;;) {
        const unsigned g = inputGeneration.load(std::memory_order_seq_cst);
        parity_ = g & 1;
        inputUses[parity_].fetch_add(1, std::memory_order_seq_cst);
        // Counted before the generation moved on: the wait sees this use. Otherwise count again
        // under the new parity (the waiter does not wait for it, nor does it need to: it
        // unpublished before moving the generation, so this use cannot reach what it frees).
        if (inputGeneration.load(std::memory_order_seq_cst) == g) return;
        inputUses[parity_].fetch_sub(1, std::memory_order_release);
    }
}

TInputPluginUse::~TInputPluginUse() {
    inputUses[parity_].fetch_sub(1, std::memory_order_release);
}

void WaitInputPluginUses() {
    // The caller's unpublishing stores come before the generation moves on; a use that counts
    // under the new parity reads the pointers after them.
    const unsigned old = inputGeneration.fetch_add(1, std::memory_order_seq_cst) & 1;
    if (inputUses[old].load(std::memory_order_acquire) == 0) return;
    platform::WaitWhile([old] { return inputUses[old].load(std::memory_order_acquire) != 0; });
}

// ---- the event queue (bounded, many producers, one consumer) ----

TRTEventQueue::TRTEventQueue() {
    for (std::size_t i = 0; i < Capacity; ++i)
        cells_[i].Seq.store(i, std::memory_order_relaxed);
}

bool TRTEventQueue::Push(const TRTEvent& Event) {
    std::size_t pos = head_.load(std::memory_order_relaxed);
    for (;;) {
        Cell& c = cells_[pos % Capacity];
        std::size_t seq = c.Seq.load(std::memory_order_acquire);
        auto diff = static_cast<std::ptrdiff_t>(seq) - static_cast<std::ptrdiff_t>(pos);
        if (diff == 0) {
            if (head_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                c.Event = Event;
                c.Seq.store(pos + 1, std::memory_order_release);
                return true;
            }
        } else if (diff < 0) {
            return false;
        } else {
            pos = head_.load(std::memory_order_relaxed);
        }
    }
}

bool TRTEventQueue::Pop(TRTEvent& Event) {
    std::size_t pos = tail_.load(std::memory_order_relaxed);
    Cell& c = cells_[pos % Capacity];
    std::size_t seq = c.Seq.load(std::memory_order_acquire);
    if (static_cast<std::ptrdiff_t>(seq) - static_cast<std::ptrdiff_t>(pos + 1) < 0) return false;
    Event = c.Event;
    c.Seq.store(pos + Capacity, std::memory_order_release);
    tail_.store(pos + 1, std::memory_order_relaxed);
    return true;
}

void TRTEventQueue::Clear() {
    TRTEvent e;
    while (Pop(e)) {
    }
}

bool TRTEventQueue::Empty() const {
    std::size_t pos = tail_.load(std::memory_order_relaxed);
    return cells_[pos % Capacity].Seq.load(std::memory_order_acquire) != pos + 1;
}

// ---- the MIDI input's queue (one producer, one consumer) ----

bool TInputEventQueue::Push(std::uint32_t Msg) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= Capacity) return false;
    cells_[head % Capacity] = Msg;
    head_.store(head + 1, std::memory_order_release);
    return true;
}

bool TInputEventQueue::Pop(std::uint32_t& Msg) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return false;
    Msg = cells_[tail % Capacity];
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

bool TInputEventQueue::Empty() const {
    return tail_.load(std::memory_order_acquire) == head_.load(std::memory_order_acquire);
}

// ---- TMFX ----

TMFX::TMFX() = default;

TMFX::~TMFX() {
    Unload();
    Events.Clear();
}

void TMFX::Release() {
    Interface = nullptr;
    Effect = nullptr;
    Loaded = false;
    if (Dll) platform::FreeLibrary(Dll);
    Dll = 0;
}

bool TMFX::Load(platform::HWND ParentWnd) {
    if (Loaded) return true;
    Dll = platform::LoadLibrary(Path);
    if (!Dll) {
        // A missing file is silent; a file that is there but does not load is reported.
        if (platform::FileExists(Path) || !platform::ResolveLibraryPath(Path).empty())
            ShowError(platform::LibraryError());
        return false;
    }
    if (auto connect = reinterpret_cast<TMfxConnect>(platform::GetProcAddress(Dll, "MFXConnect"))) {
        Interface = Guarded([&] { return connect(); });
        if (!Interface) {
            Release();
            return false;
        }
        Loaded = true;
        // The editor is built in the display's window behind ParentWnd; without one the
        // plug-in is not asked for an editor at all and shows its parameter page.
        const std::uintptr_t parent = PluginPanels().NativeWindowId(ParentWnd);
        HasEditor = false;
        if (parent)
            HasEditor = Command(MFX_EDITOR, static_cast<std::intptr_t>(parent),
                                reinterpret_cast<std::intptr_t>(&EditorSize)) != -1;
        else
            NoNativeWindowNotice();
        Command(MFX_SAMPLE_RATE, reinterpret_cast<std::intptr_t>(HostRateAddress()), 0);
        Command(MFX_TEMPO, HostTempo(), 0);
        Command(MFX_BLOCK_SIZE, HostBlockSize(), 0);
        Command(MFX_HOST_CALLBACK, reinterpret_cast<std::intptr_t>(&MfxHostCallback), 0);
        Params.clear();
        for (int i = 0; i < NumParams(); ++i) {
            std::intptr_t r = Command(MFX_AUTOMATION, 1, i);
            if (r == 2 || r == 3) Params.push_back({i, static_cast<std::int32_t>(r)});
        }
        ParamCount = static_cast<int>(Params.size());
        Kind = 0;
        return true;
    }
    auto entry = reinterpret_cast<VstPluginMainProc>(platform::GetProcAddress(Dll, "main"));
    if (!entry)
        entry = reinterpret_cast<VstPluginMainProc>(platform::GetProcAddress(Dll, "VSTPluginMain"));
    if (!entry) {
        Release();
        return false;
    }
    Kind = 1;
    Effect = Guarded([&] { return entry(&VstHostCallback); });
    if (!Effect) {
        ShowError("Get VST record: failed");
        Release();
        return false;
    }
    if (Effect->magic != CCONST('V', 's', 't', 'P')) {
        ShowError("Testing VST magic: failed");
        Release();
        return false;
    }
    Loaded = true;
    // The editor opens later in a panel of the window ParentWnd belongs to; where that window
    // has no display window behind it, none can open and the editor counts as missing.
    HasEditor = (Effect->flags & effFlagsHasEditor) != 0;
    if (HasEditor && !PluginPanels().NativeWindowId(ParentWnd)) {
        HasEditor = false;
        NoNativeWindowNotice();
    }
    Dispatch(effOpen);
    Dispatch(effSetProgram, 0, 0);
    Dispatch(effSetSampleRate, 0, 0, nullptr, HostRate());
    Dispatch(effSetBlockSize, 0, HostBlockSize());
    Dispatch(effMainsChanged, 0, 1);
    Params.clear();
    for (int i = 0; i < Effect->numParams && i < MaxAutomatedParams; ++i)
        Params.push_back({i, 3});
    inPins_.assign(std::max(2, std::clamp(Effect->numInputs, 0, MaxPluginPins)), nullptr);
    outPins_.assign(std::max(2, std::clamp(Effect->numOutputs, 0, MaxPluginPins)), nullptr);
    ParamCount = static_cast<int>(Params.size());
    return true;
}

bool TMFX::Unload() {
    if (!Loaded) return true;
    if (Kind == 0 && Interface) {
        Command(MFX_UNLOAD, 0, 0);
    } else if (Effect) {
        CloseEditor();
        Dispatch(effMainsChanged, 0, 0);
        Dispatch(effClose);
    }
    Release();
    return true;
}

std::intptr_t TMFX::Command(int Cmd, std::intptr_t A, std::intptr_t B) {
    if (!Loaded) return -1;
    if (Interface) return Interface->Command(Interface, Cmd, A, B);
    if (Cmd == MFX_AUTOMATION) BlockAutomation = reinterpret_cast<TAutoPoint*>(B);
    return -1;
}

VstIntPtr TMFX::Dispatch(int Opcode, int Index, VstIntPtr Value, void* Ptr, float Opt) {
    if (!Loaded || !Effect) return 0;
    return Effect->dispatcher(Effect, Opcode, Index, Value, Ptr, Opt);
}

int TMFX::NumParams() const {
    if (!Loaded) return 0;
    int n = Interface ? Interface->NumParams : Effect ? Effect->numParams : 0;
    return std::max(n, 0);
}

void TMFX::GetParamName(int Index, std::string& Name) {
    Name.clear();
    if (!Loaded || Index < 0 || Index >= NumParams()) return;
    char buf[TextBufferBytes] = {};
    if (Interface)
        Interface->GetParamName(Interface, Index, buf);
    else
        Dispatch(effGetParamName, Index, 0, buf);
    Name = TakeText(buf);
}

void TMFX::GetParamDisplay(int Index, std::string& Text) {
    Text.clear();
    if (!Loaded || Index < 0 || Index >= NumParams()) return;
    char buf[TextBufferBytes] = {};
    if (Interface)
        Interface->GetParamDisplay(Interface, Index, buf);
    else
        Dispatch(effGetParamDisplay, Index, 0, buf);
    Text = TakeText(buf);
}

double TMFX::GetParameter(int Index) {
    if (!Loaded || Index < 0 || Index >= NumParams()) return 0.0;
    if (Interface) return Interface->GetParameter(Interface, Index);
    return Effect->getParameter(Effect, Index);
}

void TMFX::SetParameter(int Index, double Value) {
    if (!Loaded || Index < 0 || Index >= NumParams()) return;
    if (Interface)
        Interface->SetParameter(Interface, Index, Value);
    else
        Effect->setParameter(Effect, Index, static_cast<float>(Value));
}

int TMFX::NumPrograms() const {
    if (!Loaded || !Effect) return 0;
    return std::max(Effect->numPrograms, 0);
}

int TMFX::NumOutputs() {
    if (!Loaded) return 1;
    if (Interface) {
        auto n = Command(MFX_OUTPUTS, 0, 0);
        return n == -1 ? 1 : static_cast<int>(n);
    }
    return Effect->numOutputs;
}

void TMFX::GetName(std::string& Name) const {
    std::size_t slash = Path.find_last_of("/\\:");
    std::string file = slash == std::string::npos ? Path : Path.substr(slash + 1);
    std::size_t dot = file.rfind('.');
    Name = dot == std::string::npos ? file : file.substr(0, dot);
}

void TMFX::OpenEditor(platform::HWND ParentWnd) {
    if (!Loaded || !Effect || !HasEditor || EditorOpen) return;
    // The plug-in's parent is the display's window; a window without one gets no editor.
    const std::uintptr_t parent = PluginPanels().NativeWindowId(ParentWnd);
    if (!parent) {
        NoNativeWindowNotice();
        return;
    }
    Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent));
    Dispatch(effEditIdle);
    EditorOpen = true;
}

void TMFX::ShowEditor(platform::HWND Parent, TEditorSize& Size) {
    Size = {};
    if (!Loaded || !HasEditor) return;
    if (Interface) {
        Size = {std::clamp<std::int32_t>(EditorSize.Width, 0, MaxEditorExtent),
                std::clamp<std::int32_t>(EditorSize.Height, 0, MaxEditorExtent)};
        return;
    }
    if (!EditorOpen) {
        EditorPanel = PluginPanels().CreatePanel(Parent);
        if (!EditorPanel) return; // no panel, no editor
        OpenEditor(EditorPanel);
        if (!EditorOpen) {
            PluginPanels().FreePanel(EditorPanel);
            EditorPanel = 0;
            return;
        }
    }
    EditorRect = nullptr;
    Dispatch(effEditGetRect, 0, 0, &EditorRect);
    // The right and bottom coordinates are taken as the size; nonsense stays on the screen.
    if (EditorRect)
        Size = {std::clamp<std::int32_t>(EditorRect->right, 0, MaxEditorExtent),
                std::clamp<std::int32_t>(EditorRect->bottom, 0, MaxEditorExtent)};
    PluginPanels().ShowPanel(EditorPanel, Size.Width, Size.Height);
}

void TMFX::CloseEditor() {
    if (!Effect || !HasEditor || !EditorOpen) return;
    EditorOpen = false;
    Dispatch(effEditClose);
    if (EditorPanel) PluginPanels().FreePanel(EditorPanel);
    EditorPanel = 0;
}

void TMFX::AddEvent(bool IsMidi, std::uint32_t Value) {
    if (!Loaded) return;
    if (Interface && !IsMidi) return; // the own interface takes no program changes this way
    Events.Push({IsMidi, Value});
}

bool TMFX::AddInputEvent(std::uint32_t Msg) {
    if (!Loaded) return false;
    return InputEvents.Push(Msg);
}

void TMFX::Process(float* InBuf, float* OutBuf, int Frames, bool SendBus, bool Replace) {
    if (!Loaded || Frames <= 0) return;
    Frames = std::min(Frames, ScratchFrames);
    const int n = 2 * Frames;
    if (Enabled.load(std::memory_order_relaxed) != 0) {
        if (Effect) {
            ProcessVst(InBuf, OutBuf, Frames, SendBus, Replace);
            return;
        }
        Interface->Process(Interface, InBuf, Frames);
    }
    if (InBuf == OutBuf && Replace) return;
    for (int i = 0; i < n; ++i)
        OutBuf[i] = Replace ? InBuf[i] : OutBuf[i] + InBuf[i];
}

void TMFX::ProcessPins(float** Ins, int NumIns, float** Outs, int NumOuts, int Frames) {
    AEffect* e = Effect;
    if (!Loaded || !e || Frames <= 0) return;
    const bool replacing = (e->flags & effFlagsCanReplacing) && e->processReplacing;
    auto run = [&](int count) {
        if (count <= 0) return;
        if (replacing)
            e->processReplacing(e, Ins, Outs, count);
        else if (e->process)
            e->process(e, Ins, Outs, count);
        for (int i = 0; i < NumIns; ++i)
            Ins[i] += count;
        for (int i = 0; i < NumOuts; ++i)
            Outs[i] += count;
    };

    int done = 0;
    const TAutoPoint* point = BlockAutomation;
    // The points belong to this block alone; a later block must not walk them again.
    BlockAutomation = nullptr;
    if (point && Song && Song->State.load() != 0) {
        // A point applies from its own frame: the stretch before it still runs with the values
        // set so far, then the point's group is set.
        while (point) {
            const int offset = std::clamp<int>(point->Offset, done, Frames);
            run(offset - done);
            done = offset;
            for (; point && std::clamp<int>(point->Offset, done, Frames) == offset;
                 point = point->Next)
                if (point->Param >= 0 && point->Param < e->numParams)
                    e->setParameter(e, point->Param, point->Value);
        }
    }
    run(Frames - done);
}

void TMFX::ProcessVst(float* InBuf, float* OutBuf, int Frames, bool SendBus, bool Replace) {
    AEffect* e = Effect;
    // Counts the plug-in changed since its load are held to the arrays made then.
    const int pinsIn = static_cast<int>(inPins_.size()),
              pinsOut = static_cast<int>(outPins_.size());
    const int numIn = std::clamp(e->numInputs, 0, pinsIn);
    float** ins = inPins_.data();
    float** outs = outPins_.data();

    for (int i = 0; i < Frames; ++i) {
        float l = InBuf[2 * i], r = InBuf[2 * i + 1];
        if (numIn == 1) {
            scratchR[i] = l;
            scratchL[i] = (l + r) * 0.5f;
        } else {
            scratchL[i] = l;
            scratchR[i] = r;
        }
    }
    std::fill_n(scratchO1, Frames, 0.0f);
    std::fill_n(scratchO2, Frames, 0.0f);
    if (pinsIn > 2) std::fill_n(scratchSilence, Frames, 0.0f);
    ins[0] = scratchL;
    ins[1] = scratchR;
    for (int i = 2; i < pinsIn; ++i)
        ins[i] = scratchSilence;
    outs[0] = scratchO1;
    outs[1] = scratchO2;
    for (int i = 2; i < pinsOut; ++i)
        outs[i] = scratchDiscard;

    ProcessPins(ins, pinsIn, outs, pinsOut, Frames);

    const bool dry = numIn == 1 && !SendBus;
    for (int i = 0; i < Frames; ++i) {
        float l = scratchO1[i], r = scratchO2[i];
        if (dry) {
            l += scratchL[i];
            r += scratchR[i];
        }
        if (Replace) {
            OutBuf[2 * i] = l;
            OutBuf[2 * i + 1] = r;
        } else {
            OutBuf[2 * i] += l;
            OutBuf[2 * i + 1] += r;
        }
    }
}
