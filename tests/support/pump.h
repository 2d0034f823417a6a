#pragma once
// Message-pump helpers for tests that run on the GUI thread.

#include "platform/core/messages.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

// Pumps until a pump handles nothing (at most maxRounds pumps). Returns messages handled.
int PumpAll(int maxRounds = 100);

// Pumps (and sleeps briefly between pumps) until pred() holds or timeoutMs of real time pass.
bool PumpUntil(const std::function<bool()>& pred, std::uint32_t timeoutMs = 5000);

struct Received {
    platform::HWND h;
    platform::UINT msg;
    platform::WPARAM w;
    platform::LPARAM l;
    bool operator==(const Received&) const = default;
};

// A registered window that records every message it gets and answers with Reply (0 when
// unset). Unregistered when destroyed.
class RecordingWindow {
public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    platform::HWND Handle() const { return h_; }
    std::vector<Received> messages;
    std::function<platform::LRESULT(platform::UINT, platform::WPARAM, platform::LPARAM)> Reply;

private:
    platform::HWND h_;
};

// Records drop reports instead of printing them, for its lifetime.
class DropReports {
public:
    DropReports();
    ~DropReports();
    std::vector<std::uint64_t> newly;  // one entry per report
};

} // namespace testsupport
