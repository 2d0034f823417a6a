#include "devices/preview.h"

#include "platform/core/dialogs.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstring>

namespace {

TPreview previewOfTheRun;

const platform::TPcmFormat kPreviewFormat{2, 44100, 16};

void Failed(const char* Text) {
    platform::MessageBox(Text, "DS", platform::MB_ICONERROR);
}

} // namespace

TPreview* Preview = &previewOfTheRun;

TPreview::TPreview() : MixBuffer(std::make_unique<float[]>(2 * HalfFrames)) {}

TPreview::~TPreview() {
    Close();
    MixBuffer.reset(); // the thread that mixed into it has ended
}

void TPreview::Release() {
    Thread.reset(); // terminate, wake, join: nothing below is touched by it any more
    Notify = false;
    PlayBuffer.reset();
    if (PrimaryBuffer) PrimaryBuffer->Stop();
    PrimaryBuffer.reset();
    Sound.reset();
    for (platform::TAutoEvent& e : Events)
        e.TryTake(); // closed: a later open starts with clear events
}

bool TPreview::Open(platform::HWND Wnd) {
    if (IsOpen) return IsOpen;
    IsOpen = true;
    Release();
    auto fail = [this](const char* Text) {
        if (Text) Failed(Text);
        Release(); // a held device would keep the next open (and other programs) from it
        IsOpen = false;
        return false;
    };
    Sound = platform::TSoundOut::Create();
    if (!Sound) return fail("DirectSoundCreate failed");
    if (!Sound->SetCooperativeLevel(Wnd)) return fail("SetCooperativeLevel failed");
    PrimaryBuffer = Sound->CreatePrimaryBuffer();
    if (!PrimaryBuffer) return fail("CreateSoundBuffer failed");
    if (!PrimaryBuffer->SetFormat(kPreviewFormat)) return fail("SetFormat failed");
    PlayBuffer = Sound->CreateBuffer(BufferBytes, kPreviewFormat);
    if (!PlayBuffer) return fail(nullptr);
    Positions[0] = {HalfBytes - 1, &Events[0]};
    Positions[1] = {BufferBytes - 1, &Events[1]};
    Notify = PlayBuffer->SetNotificationPositions({Positions[0], Positions[1]});
    if (!Notify) return fail(nullptr);
    if (!PrimaryBuffer->Play()) return fail(nullptr);
    Thread = std::make_unique<TPreviewThread>(Wnd, this);
    return IsOpen;
}

void TPreview::Close() {
    if (!IsOpen) return;
    Release();
    IsOpen = false;
}

void TPreview::FillHalf(int Half) {
    std::uint8_t *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    if (!PlayBuffer->Lock(static_cast<std::uint32_t>(Half) * HalfBytes, HalfBytes, &p1, &n1, &p2,
                          &n2))
        return; // the half plays what it held
    std::fill_n(MixBuffer.get(), 2 * HalfFrames, 0.0f);
    std::memset(p1, 0, n1);
    if (p2) std::memset(p2, 0, n2);
    const int position = Position;
    if (position != -1) {
        int r = -1;
        if (SampleData && SampleFormat)
            r = MixSample(SampleData, MixBuffer.get(), position, 0.0, -1, *SampleFormat,
                          SampleLength, static_cast<int>(2 * HalfFrames * sizeof(float)), 127, 63);
        for (std::uint32_t i = 0; i < 2u * HalfFrames && 2 * i + 1 < n1; ++i) {
            const auto v =
                static_cast<std::int16_t>(std::clamp(Round(MixBuffer[i] * 32767.0), -32768, 32767));
            p1[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
            p1[2 * i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
        if (r == -1) {
            Position = -1;
        } else {
            Position = position + r;
            if (Position > SampleLength) Position = -1;
        }
    }
    PlayBuffer->Unlock(p1, n1, p2, n2);
}

TPreviewThread::TPreviewThread(platform::HWND WndArg, TPreview* PreviewArg)
    : Wnd(WndArg), Preview(PreviewArg), thread_([this] { Execute(); }) {}

TPreviewThread::~TPreviewThread() {
    Terminate();
    thread_.Join();
}

void TPreviewThread::Terminate() {
    thread_.Terminate();
    wake_.Set();
}

void TPreviewThread::Execute() {
    platform::TAutoEvent* events[] = {&Preview->Events[0], &Preview->Events[1], &wake_};
    while (!thread_.Terminated()) {
        const int i = platform::WaitAny(events, 3);
        if (thread_.Terminated()) break;
        if (i < 0 || i > 1) continue;
        if (Preview->Busy.exchange(true)) continue;
        if (Preview->Position == -1 || Preview->EndCount != 0) ++Preview->EndCount;
        Preview->FillHalf(i);
        Preview->Busy = false;
    }
}
