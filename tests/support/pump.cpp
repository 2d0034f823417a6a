#include "support/pump.h"

#include <chrono>

namespace testsupport {

int PumpAll(int maxRounds) {
    int total = 0;
    for (int i = 0; i < maxRounds; ++i) {
        int n = platform::PumpMessages();
        total += n;
        if (n == 0) break;
    }
    return total;
}

bool PumpUntil(const std::function<bool()>& pred, std::uint32_t timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        platform::PumpMessages();
        if (pred()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        platform::WaitMessage(1);
    }
}

RecordingWindow::RecordingWindow() {
    h_ = platform::RegisterWindowProc(
        [this](platform::HWND h, platform::UINT msg, platform::WPARAM w, platform::LPARAM l) {
            messages.push_back({h, msg, w, l});
            return Reply ? Reply(msg, w, l) : 0;
        });
}

RecordingWindow::~RecordingWindow() { platform::UnregisterWindowProc(h_); }

DropReports::DropReports() {
    platform::SetDropReporter(
        [this](std::uint64_t n, std::uint64_t) { newly.push_back(n); });
}

DropReports::~DropReports() { platform::SetDropReporter(nullptr); }

} // namespace testsupport
