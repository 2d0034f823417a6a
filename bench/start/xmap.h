#pragma once
// Watches an X server for top-level windows being mapped (Xlib stays out of the benchmark's
// own unit: its macros clash with other headers).

#include <cstdint>
#include <string>
#include <vector>

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
    // Whether the window Mapped saw shows another picture than at the last call (the first
    // call: any picture), leaving out every pixel another window above it has covered since (a
    // splash screen over it) and changes at most two pixels wide (a caret blinking): what the
    // window itself paints. -1 when it cannot be read.
    int Changed();

private:
    struct TRect {
        int X, Y, W, H;
    };
    void* display_ = nullptr;
    unsigned long window_ = 0;
    std::vector<TRect> covered_; // root coordinates
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> last_; // the last picture
};
