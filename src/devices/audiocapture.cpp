// Audio capture: a capture buffer of two halves on a device of our own (not the driver's), a
// capture thread that copies every captured half into the take, and the hand-over of the
// take to the main window by one WM_USER+150 after its last byte.
#include "devices/audio.h"

#include "devices/wave.h"
#include "platform/core/dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

TCaptureDriverList CaptureDrivers;

std::vector<TDirectSoundDriver>& TCaptureDriverList::List() const {
    if (probe_) {
        probe_ = false;
        list_.clear();
        for (platform::TCaptureDeviceInfo& d : platform::CaptureDevices())
            list_.push_back({std::move(d.Description),
                             d.Id.empty() ? std::nullopt : std::optional<std::string>(d.Id)});
    }
    return list_;
}

namespace {

constexpr platform::UINT WM_AUDIO_RECORD_DONE = platform::WM_USER + 150;
constexpr platform::UINT WM_CAPTURE_REPORT = platform::WM_USER + 1;

} // namespace

int TAudio::CaptureBytes() const {
    return CaptureFormat.nChannels * Frames * (CaptureFormat.wBitsPerSample / 8) * 2;
}

void TAudio::PrepareRecordWave(int Bytes, TWave* Wave) {
    StopCapture(); // a take that still runs is handed over before another is made
    if (!Wave) {
        if (madeWave_ && RecordWave.load() != madeWave_) madeWave_ = nullptr; // handed over
        Wave = new TWave;
        delete madeWave_;
        madeWave_ = Wave;
    }
    Wave->SetPCMFormat(static_cast<int>(CaptureFormat.nSamplesPerSec), CaptureFormat.wBitsPerSample,
                       CaptureFormat.nChannels);
    Wave->SetSize(Bytes);
    if (Wave->Data() && Wave->Size() > 0)
        std::memset(Wave->Data(), 0, static_cast<std::size_t>(Wave->Size()));
    RecordWave = Wave;
    takeArmed_ = true;
}

int TAudio::GetCaptureDevice() const {
    for (std::size_t i = 0; i < CaptureDrivers.size(); ++i)
        if (CaptureDrivers[i].Guid == CaptureGuid) return static_cast<int>(i);
    return 0;
}

void TAudio::SetCaptureDevice(int Index) {
    const int count = static_cast<int>(CaptureDrivers.size());
    MissingCaptureDevice = Index >= count ? Index : -1;
    if (Index >= 0 && Index < count)
        CaptureGuid = CaptureDrivers[static_cast<std::size_t>(Index)].Guid;
    else
        CaptureGuid.reset();
}

int TAudio::CaptureDeviceSetting() const {
    return MissingCaptureDevice >= 0 && !CaptureGuid ? MissingCaptureDevice : GetCaptureDevice();
}

void TAudio::ReleaseCapture() {
    RecThread.reset(); // terminate, wake, join
    CaptureNotify = false;
    CaptureBuffer.reset();
    CaptureObject.reset();
    for (platform::TAutoEvent& e : CaptureEvents)
        e.TryTake();
}

void TAudio::OpenCapture() {
    if (CaptureOpen) return;
    CaptureOpen = true;
    ReleaseCapture();
    auto fail = [this] {
        ReleaseCapture(); // a held device would keep the driver's stream from it
        CaptureOpen = false;
    };
    const std::string id = CaptureGuid.value_or(std::string());
    CaptureObject = platform::TSoundIn::Create(CaptureGuid ? &id : nullptr);
    if (!CaptureObject) return fail();
    const platform::TPcmFormat format{CaptureFormat.nChannels,
                                      static_cast<int>(CaptureFormat.nSamplesPerSec),
                                      CaptureFormat.wBitsPerSample};
    const auto bytes = static_cast<std::uint32_t>(CaptureBytes());
    CaptureBuffer = CaptureObject->CreateBuffer(bytes, format);
    if (!CaptureBuffer) return fail();
    CapturePositions[0] = {bytes / 2 - 1, &CaptureEvents[0]};
    CapturePositions[1] = {bytes - 1, &CaptureEvents[1]};
    CapturePositions[2] = {platform::NotifyAtStop, &CaptureEvents[2]};
    CaptureNotify = CaptureBuffer->SetNotificationPositions(
        {CapturePositions[0], CapturePositions[1], CapturePositions[2]});
    if (!CaptureNotify) return fail();
    if (!reportWnd_)
        reportWnd_ = platform::RegisterWindowProc([this](platform::HWND, platform::UINT Msg,
                                                         platform::WPARAM,
                                                         platform::LPARAM) -> platform::LRESULT {
            if (Msg == WM_CAPTURE_REPORT) ReportCapture();
            return 0;
        });
    RecThread = std::make_unique<TRecThread>(MainWnd, this);
}

void TAudio::CloseCapture() {
    if (!CaptureOpen) return;
    StopCapture(); // a take that runs is handed over before the device goes
    CaptureOpen = false;
    ReleaseCapture();
}

void TAudio::StartCapture() {
    if (!CaptureOpen || !CaptureBuffer || takeState_.load() != 0) return;
    // Only a take prepared for this run: a run resumed after its take was handed over (an
    // edit pauses and resumes playback) captures nothing.
    if (!RecordWave.load() || !takeArmed_.exchange(false)) return;
    Written = 0;
    CaptureLost = 0;
    readTotal_ = CaptureBuffer->CapturedBytes();
    ReadPos = static_cast<int>(readTotal_ % CaptureBuffer->Size());
    CaptureStart = ReadPos.load();
    takeState_ = 1;
    Capturing = true;
    if (!CaptureBuffer->Start(true)) {
        // The capture thread ends the take and says why.
        startFailed_ = true;
        CaptureEvents[2].Set();
    }
}

void TAudio::StopCapture() {
    if (!CaptureOpen || !Capturing) return;
    if (RecThread && RecThread->IsCurrent()) {
        EndTake(false);
        return;
    }
    if (CaptureBuffer) CaptureBuffer->Stop();
    // The capture thread takes the bytes up to the stop and hands the take over; meanwhile
    // this thread serves its send.
    if (RecThread) platform::WaitWhile([this] { return takeState_.load() != 0; });
}

void TAudio::AddCaptured(const std::uint8_t* Bytes, int Count) {
    TWave* wave = RecordWave;
    std::uint8_t* out = wave->Data() + Written.load();
    if (CaptureFormat.wBitsPerSample == 16) {
        for (int i = 0; i + 1 < Count; i += 2) {
            const int a = static_cast<std::int16_t>(out[i] | (out[i + 1] << 8));
            const int b = static_cast<std::int16_t>(Bytes[i] | (Bytes[i + 1] << 8));
            const auto v = static_cast<std::int16_t>(std::clamp(a + b, -32768, 32767));
            out[i] = static_cast<std::uint8_t>(v & 0xFF);
            out[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
    } else {
        for (int i = 0; i < Count; ++i)
            out[i] = static_cast<std::uint8_t>(std::min(out[i] + Bytes[i], 255));
    }
}

void TAudio::ProcessCapture(int Index, std::uint64_t Position) {
    if (takeState_.load() != 1 || !CaptureBuffer) return;
    TWave* wave = RecordWave;
    const int size = wave ? wave->Size() : 0;
    const std::uint64_t b = static_cast<std::uint64_t>(CaptureBuffer->Size());
    // Bytes captured since the last call: modulo the buffer (a stop right after a half
    // gives 0); whole laps the thread fell behind were overwritten and are skipped.
    const std::uint64_t behind = Position > readTotal_ ? Position - readTotal_ : 0;
    const std::uint64_t l = behind % b;
    auto skip = [&](std::uint64_t Bytes) {
        const int n = static_cast<int>(std::min<std::uint64_t>(
            Bytes, static_cast<std::uint64_t>(std::max(size - Written, 0))));
        Written += n; // the take keeps its timing: what was lost stays silent
        CaptureLost += n;
    };
    skip(behind - l);
    std::uint8_t *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    if (l > 0) {
        if (CaptureBuffer->Lock(static_cast<std::uint32_t>(ReadPos.load()),
                                static_cast<std::uint32_t>(l), &p1, &n1, &p2, &n2)) {
            for (auto [p, n] : {std::pair{p1, n1}, std::pair{p2, n2}}) {
                if (!p || !n || !wave) continue;
                const int take = std::min(static_cast<int>(n), std::max(size - Written, 0));
                if (take > 0) AddCaptured(p, take);
                Written += take;
            }
            CaptureBuffer->Unlock(p1, n1, p2, n2);
        } else {
            skip(l);
        }
    }
    readTotal_ = Position;
    ReadPos = static_cast<int>(readTotal_ % b);
    if (Index == 2 || Written >= size) EndTake(Index == 2);
}

void TAudio::EndTake(bool StopSeen) {
    if (takeState_.load() != 1) return;
    takeState_ = 2;
    if (!StopSeen && CaptureBuffer) {
        // The buffer's own stop comes once for this run; it belongs to this take.
        CaptureBuffer->Stop();
        platform::TCrossing c{};
        while (CaptureBuffer->NextCrossing(c))
            if (c.Index == 2) {
                readTotal_ = c.Position;
                break;
            }
    }
    Capturing = false;
    const bool failed = startFailed_.exchange(false) || (CaptureBuffer && CaptureBuffer->Failed());
    platform::SendMessage(MainWnd, WM_AUDIO_RECORD_DONE, 0, 0);
    if (failed || CaptureLost > 0) platform::PostMessage(reportWnd_, WM_CAPTURE_REPORT, 0, 0);
    takeState_ = 0;
}

void TAudio::ReportCapture() {
    if (CaptureBuffer && CaptureBuffer->Failed()) {
        platform::MessageBox("Audio recording stopped: the input device failed (" +
                                 CaptureBuffer->FailReason() +
                                 "). What was recorded until then is kept.",
                             "Record", platform::MB_ICONWARNING);
        return;
    }
    const double rate = CaptureFormat.nAvgBytesPerSec ? CaptureFormat.nAvgBytesPerSec : 1;
    char text[160];
    if (CaptureLost > 0)
        std::snprintf(
            text, sizeof text,
            "Audio recording fell behind: %.2f seconds of the take were lost and left silent.",
            CaptureLost / rate);
    else
        std::snprintf(text, sizeof text, "Audio recording could not start on the input device.");
    platform::MessageBox(text, "Record", platform::MB_ICONWARNING);
}

TRecThread::TRecThread(platform::HWND WndArg, TAudio* AudioArg)
    : Wnd(WndArg), audio_(AudioArg), thread_([this] { Execute(); }) {}

TRecThread::~TRecThread() {
    Terminate();
    thread_.Join();
}

void TRecThread::Terminate() {
    thread_.Terminate();
    wake_.Set();
}

void TRecThread::Execute() {
    platform::TAutoEvent* events[] = {&audio_->CaptureEvents[0], &audio_->CaptureEvents[1],
                                      &audio_->CaptureEvents[2], &wake_};
    while (!thread_.Terminated()) {
        platform::WaitAny(events, 4);
        if (thread_.Terminated()) break;
        platform::TCrossing c{};
        while (!thread_.Terminated() && audio_->CaptureBuffer &&
               audio_->CaptureBuffer->NextCrossing(c))
            audio_->ProcessCapture(c.Index, c.Position);
        if (audio_->startFailed_.load() && audio_->takeState_.load() == 1) audio_->EndTake(true);
    }
}
