#include "devices/audio.h"

#include "devices/midi.h"
#include "devices/wave.h"
#include "platform/core/clock.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/todo.h"

#include <algorithm>
#include <cstring>

TAudio* Audio = nullptr;
int AudioBuffers = 2;
std::atomic<int> CpuLoad{0};

namespace {

TAudioHooks defaultHooks;
TAudioHooks* hooks = nullptr;

std::atomic<bool> busyFlag{false};
int guiHolds = 0; // GUI thread only

// The MIDI object reaches the audio object through this.
class TAudioForMidi final : public TMidiAudio {
public:
    bool AudioOn() override { return Audio && Audio->AudioOn; }
    void NotifyStart() override {
        if (Audio) Audio->NotifyStart();
    }
    void Stop() override {
        if (Audio) Audio->Stop();
    }
    void StopCapture() override {
        if (Audio) Audio->StopCapture();
    }
    bool RecordAudio() override { return AudioHooks().RecordAudio(); }
};
TAudioForMidi audioForMidi;

} // namespace

float PositivePeak(const float* Buffer, int Frames, int Side) {
    float peak = 0.0f;
    for (int f = 0; f < Frames; ++f)
        peak = std::max(peak, Buffer[2 * f + Side]);
    return std::min(peak, 1.0f);
}

TAudioHooks& AudioHooks() {
    return hooks ? *hooks : defaultHooks;
}
void SetAudioHooks(TAudioHooks* Hooks) {
    hooks = Hooks;
}

float AudioRate() {
    float r = Audio ? Audio->Rate : 44100.0f;
    return r > 0.0f ? r : 44100.0f;
}

TAudio::TAudio(platform::HWND MainWndArg) : MainWnd(MainWndArg), Busy(busyFlag) {
    platform::TIniFile ini;
    Frames = std::clamp(ini.ReadInteger("Audio", "Frames", 4096), MinAudioFrames, MaxAudioFrames);
    AudioBuffers = ini.ReadInteger("Audio", "Buffers", 2);
    if (AudioBuffers != 2 && AudioBuffers != 4 && AudioBuffers != 6 && AudioBuffers != 8)
        AudioBuffers = 2;
    if (AudioBuffers * Frames > 44100) {
        AudioBuffers = 2;
        Frames = 22050;
    }
    Rate = static_cast<float>(ini.ReadInteger("Audio", "Rate", 44100));
    HDDefaultRecBits = ini.ReadInteger("Audio", "HDDefaultRecBits", 16);
    if (!Audio) Audio = this;
    SetMidiAudio(&audioForMidi);
    CaptureDrivers.ProbeOnFirstRead();
    LoadSystem(ini.ReadString("Audio", "System", "None"));
}

TAudio::~TAudio() {
    {
        platform::TIniFile ini;
        ini.WriteInteger("Audio", "Frames", Frames);
        ini.WriteInteger("Audio", "Rate", Round(Rate));
    }
    Close();
    CloseCapture(); // a take that runs is handed over first
    if (madeWave_ && RecordWave.load() == madeWave_) {
        RecordWave = nullptr;
        delete madeWave_;
    }
    if (reportWnd_) platform::UnregisterWindowProc(reportWnd_);
    FreeSystem();
    if (Audio == this) {
        Audio = nullptr;
        SetMidiAudio(nullptr);
    }
}

int TAudio::Command(int Cmd, std::intptr_t A, std::intptr_t B) {
    return Properties ? Properties(Cmd, A, B) : 0;
}

void TAudio::FreeSystem() {
    if (!Library) return;
    Command(TV_AUDIO_UNLOAD);
    platform::FreeLibrary(Library);
    Library = 0;
    Properties = nullptr;
}

void TAudio::LoadSystem(const std::string& Name) {
    Close();
    FreeSystem();
    Device = 0;
    SystemName = Name;
    std::string stored = "system\\" + Name + ".dll";
    platform::HMODULE lib = platform::LoadLibrary(stored);
    if (!lib) return;
    auto* entry = reinterpret_cast<TvAudioProperties>(platform::GetProcAddress(lib, "Properties"));
    if (!entry) {
        platform::FreeLibrary(lib); // a library without the entry is no driver
        return;
    }
    Library = lib;
    Properties = entry;
}

void TAudio::Open(platform::HWND Wnd) {
    if (AudioOn) return;
    if (!Properties) {
        if (NotifyWnd) platform::SendMessage(NotifyWnd, platform::WM_USER, 0, 0);
        platform::MessageBox("Cannot open audio. No audio system is selected", "Audio",
                             platform::MB_ICONINFORMATION);
        return;
    }
    bool on = Command(TV_AUDIO_OPEN, reinterpret_cast<std::intptr_t>(&AudioCallback), Wnd) == 0;
    Command(TV_AUDIO_BLOCK_SIZE, Frames, 0);
    float wanted = Rate;
    Command(TV_AUDIO_SAMPLE_RATE, reinterpret_cast<std::intptr_t>(&wanted), 0);
    if (on) on = Command(TV_AUDIO_SELECT_DEVICE, Device, 0) == 0;
    // The driver's block size is taken as it answers, but never beyond what a block can hold.
    int f = std::min(Command(TV_AUDIO_BLOCK_SIZE, 0, 0), MaxAudioFrames);
    if (f != Frames) {
        Frames = f;
        ApplyBlockSizeToPlugins();
    }
    float r = Rate;
    Command(TV_AUDIO_SAMPLE_RATE, 0, reinterpret_cast<std::intptr_t>(&r));
    if (r != Rate) {
        Rate = r;
        ApplyRateToPlugins();
    }
    AudioOn = on;
    if (NotifyWnd) platform::SendMessage(NotifyWnd, platform::WM_USER, 0, 0);
    BlocksPerMs = Frames > 0 ? 1.0f / (static_cast<float>(Frames) / (0.001f * Rate)) : 0.0f;
}

void TAudio::Close() {
    if (!AudioOn) return;
    if (Running) Stop();
    WaitRenderIdle();
    Command(TV_AUDIO_CLOSE);
    AudioOn = false;
    if (guiHolds == 0) Busy = false;
    if (NotifyWnd) platform::SendMessage(NotifyWnd, platform::WM_USER, 0, 0);
}

void TAudio::Start() {
    if (!AudioOn || !Properties || Running) return;
    // From the first block on, the renderer carries out the song's deferred actions.
    if (Song && Song->Todos) Song->Todos->HandToAudio();
    Command(TV_AUDIO_START);
    Running = true;
}

void TAudio::Stop() {
    if (AudioOn && Properties && Running) {
        Command(TV_AUDIO_STOP);
        Running = false;
        WaitRenderIdle();
        // No block comes any more: the GUI thread takes the deferred actions back.
        if (Song && Song->Todos) {
            Song->Todos->TakeBack();
            Song->RunTodos();
        }
    }
    StopCapture();
}

int TAudio::DeviceCount() {
    return Properties ? Command(TV_AUDIO_DEVICE_COUNT) : 0;
}

void TAudio::DeviceName(int Index, std::string& Name) {
    if (!Properties) return;
    char buffer[TV_AUDIO_NAME_BYTES] = {};
    Command(TV_AUDIO_DEVICE_NAME, Index, reinterpret_cast<std::intptr_t>(buffer));
    buffer[TV_AUDIO_NAME_BYTES - 1] = 0;
    Name.assign(buffer, strnlen(buffer, 129));
}

void TAudio::NotifyStart() {
    if (Properties && Running) Command(TV_AUDIO_TRANSPORT_START);
}

void TAudio::NotifyRecording(bool On) {
    if (Properties) Command(TV_AUDIO_RECORDING, On ? 1 : 0);
}

void TAudio::SetRate(float NewRate) {
    if (NewRate == Rate) return;
    Rate = NewRate;
    ApplyRateToPlugins();
}

void TAudio::SetFrames(int NewFrames) {
    NewFrames = std::clamp(NewFrames, MinAudioFrames, MaxAudioFrames);
    if (NewFrames == Frames) return;
    Frames = NewFrames;
    ApplyBlockSizeToPlugins();
}

void TAudio::ApplyRateToPlugins() {
    AudioHooks().ApplyRateToPlugins(Rate);
}
void TAudio::ApplyBlockSizeToPlugins() {
    AudioHooks().ApplyBlockSizeToPlugins(Frames);
}

bool TAudio::SetOutputCapture(std::uint8_t* Buffer, int OutFramesArg, int Bits) {
    OutBits = Bits;
    OutFrames = OutFramesArg;
    OutTarget = Buffer; // last: the audio thread starts once the target is there
    return Bits == 16 || Bits == 24 || Bits == 32;
}

void TAudio::ShowSettings() {
    if (!Properties) return;
    if (Command(TV_AUDIO_SETTINGS) != -1) return;
    if (!AudioHooks().ShowAbout()) return;
    if (!MainWindow().PausePlayback()) return;
    Close();
    Open(MainWnd);
    Start();
    MainWindow().ResumePlayback();
}

void RecordOutputBlock(const float* Buffer, int Frames, int /*Flag*/) {
    if (!Audio || !Song || Song->State != 1) return;
    std::uint8_t* out = Audio->OutTarget.load(std::memory_order_acquire);
    if (!out) return;
    const int bits = Audio->OutBits;
    const int bytes = bits / 8;
    if (bytes != 2 && bytes != 3 && bytes != 4) return; // no other width was armed
    int left = Audio->OutFrames;
    std::uint8_t* p = out;
    for (int f = 0; f < Frames; ++f) {
        for (int side = 0; side < 2; ++side) {
            double x = Buffer[2 * f + side];
            std::int32_t v = bytes == 2   ? Round(x * 32767)
                             : bytes == 3 ? Round(x * 8388607)
                                          : Round(x * 2147483647.0);
            std::uint32_t u = static_cast<std::uint32_t>(v);
            for (int b = 0; b < bytes; ++b)
                *p++ = static_cast<std::uint8_t>(u >> (8 * b));
        }
        if (--left < 1) {
            Audio->OutFrames = left;
            Audio->OutTarget.store(nullptr, std::memory_order_release);
            Song->State = 2;
            platform::PostMessage(Audio->MainWnd, platform::WM_USER + 125, 0, 0);
            return;
        }
    }
    Audio->OutFrames = left;
    Audio->OutTarget.store(out + static_cast<std::ptrdiff_t>(Frames) * 2 * bytes,
                           std::memory_order_release);
}

namespace {

// Set by the first block of a run, cleared once that run's MIDI start is issued (or there is
// none); audio thread only.
std::atomic<bool> startOwed{false};

// Issues the pending MIDI start inside the busy flag, so that a pause or Stop holding the
// renderer (which stops MIDI under the hold) cannot come between the look at Pending and the
// start. A block that finds the renderer held keeps the start owed for the next block.
void IssuePendingStart(std::int32_t Flag) {
    if (Flag == 0) startOwed.store(true, std::memory_order_relaxed);
    if (!startOwed.load(std::memory_order_relaxed)) return;
    if (!Midi || !Song || !Midi->Pending) {
        startOwed.store(false, std::memory_order_relaxed);
        return;
    }
    if (!EnterRenderBlock()) return;
    startOwed.store(false, std::memory_order_relaxed);
    const int state = Song->State;
    if (Midi->Pending && (state == 2 || state == 1)) {
        if (AudioHooks().RecordAudio() && Audio) Audio->StartCapture();
        if (state == 2)
            Midi->StartPending();
        else
            Midi->RecordPending();
    }
    LeaveRenderBlock();
}

} // namespace

extern "C" void AudioCallback(float* Buffer, std::int32_t Frames, std::int32_t Flag) {
    if (Frames <= 0) return;
    if (!Buffer) {
        // The device played frames without asking for them: the song's time goes on.
        if (Song) Song->MissFrames(Frames);
        return;
    }
    const std::uint32_t t0 = platform::TimeGetTime();
    IssuePendingStart(Flag);
    if (Song)
        Song->Render(Buffer, Frames);
    else
        std::memset(Buffer, 0, static_cast<std::size_t>(Frames) * 2 * sizeof(float));
    // Our drivers hand over an empty buffer, so the recording takes the block just rendered.
    RecordOutputBlock(Buffer, Frames, Flag);
    AudioHooks().SetPeaks(Buffer, Frames);
    if (Song) {
        Song->MasterOut.PeakLeft = PositivePeak(Buffer, Frames, 0);
        Song->MasterOut.PeakRight = PositivePeak(Buffer, Frames, 1);
    }
    AudioHooks().BroadcastBlock(Buffer, Frames);
    if (Audio)
        CpuLoad =
            Round(static_cast<double>(platform::TimeGetTime() - t0) * Audio->BlocksPerMs * 100);
}

bool EnterRenderBlock() {
    return !busyFlag.exchange(true, std::memory_order_acquire);
}

void LeaveRenderBlock() {
    busyFlag.store(false, std::memory_order_release);
}

void HoldRenderer() {
    if (guiHolds++ > 0) return;
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    while (busyFlag.exchange(true, std::memory_order_acquire))
        platform::WaitWhile([] { return busyFlag.load(std::memory_order_acquire); });
}

void ReleaseRenderer() {
    if (guiHolds == 0 || --guiHolds > 0) return;
    // What was walked while the change ran is stale now.
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    busyFlag.store(false, std::memory_order_release);
}

void WaitRenderIdle() {
    if (guiHolds > 0) return;
    platform::WaitWhile([] { return busyFlag.load(std::memory_order_acquire); });
}
