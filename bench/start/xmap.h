#pragma once
// Watches an X server for top-level windows being mapped (Xlib stays out of the benchmark's
// own unit: its macros clash with other headers).

#include <string>

class TMapWatch {
public:
    // Connects to `display` and listens for windows mapped on the root window.
    explicit TMapWatch(const std::string& display);
    ~TMapWatch();
    TMapWatch(const TMapWatch&) = delete;
    TMapWatch& operator=(const TMapWatch&) = delete;
    bool Connected() const { return display_ != nullptr; }
    // Drops the events seen so far.
    void Drain();
    // True once a top-level window at least minWidth wide is mapped; polls without blocking.
    bool Mapped(int minWidth);

private:
    void* display_ = nullptr;
};
