// Painting throughput on a 1920 x 1080 surface, each against memset or memcpy of the same
// surface measured in the same run ("x_ref" is our time over the reference's: 1.0 is as fast).
#include "platform/gdi/gdi.h"

#include "timing.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace platform;

namespace {

constexpr int W = 1920, H = 1080;
constexpr std::size_t kBytes = std::size_t(W) * H * 4;

struct Target {
    HDC dc = CreateCompatibleDC(GetDC(0));
    HBITMAP bm = CreateCompatibleBitmap(dc, W, H);
    Target() { SelectObject(dc, bm); }
    std::uint32_t* Pixels() { return GetBitmapSurface(bm)->pixels.data(); }
};

double MemsetSeconds() {
    static const double s = [] {
        std::vector<std::uint32_t> a(kBytes / 4);
        return SecondsPerCall([&] {
            std::memset(a.data(), 0x5A, kBytes);
            benchmark::DoNotOptimize(a.data());
        });
    }();
    return s;
}

double MemcpySeconds() {
    static const double s = [] {
        std::vector<std::uint32_t> a(kBytes / 4), b(kBytes / 4, 1);
        return SecondsPerCall([&] {
            std::memcpy(a.data(), b.data(), kBytes);
            benchmark::DoNotOptimize(a.data());
        });
    }();
    return s;
}

void Report(benchmark::State& state, double refSeconds) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBytes));
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * refSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Memset(benchmark::State& state) {
    Target t;
    for (auto _ : state) {
        std::memset(t.Pixels(), 0x5A, kBytes);
        benchmark::ClobberMemory();
    }
    Report(state, MemsetSeconds());
}

void BM_Memcpy(benchmark::State& state) {
    Target a, b;
    for (auto _ : state) {
        std::memcpy(a.Pixels(), b.Pixels(), kBytes);
        benchmark::ClobberMemory();
    }
    Report(state, MemcpySeconds());
}

void BM_FillRect(benchmark::State& state) {
    Target t;
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    TRect r{0, 0, W, H};
    for (auto _ : state)
        FillRect(t.dc, &r, brush);
    Report(state, MemsetSeconds());
    DeleteObject(brush);
}

void BM_XorRectangle(benchmark::State& state) {
    Target t;
    SelectObject(t.dc, GetStockObject(NULL_PEN));
    SelectObject(t.dc, GetStockObject(WHITE_BRUSH));
    SetROP2(t.dc, R2_XORPEN);
    for (auto _ : state)
        Rectangle(t.dc, 0, 0, W + 1, H + 1);
    Report(state, MemsetSeconds());
}

void BM_BlitCopy(benchmark::State& state) {
    Target a, b;
    for (auto _ : state)
        BitBlt(a.dc, 0, 0, W, H, b.dc, 0, 0, SRCCOPY);
    Report(state, MemcpySeconds());
}

void BM_BlitInvert(benchmark::State& state) {
    Target a, b;
    for (auto _ : state)
        BitBlt(a.dc, 0, 0, W, H, b.dc, 0, 0, SRCINVERT);
    Report(state, MemcpySeconds());
}

// Lines in every direction: pixels per second, and the time to cover the surface's pixel
// count with lines against one memset of it.
void BM_Lines(benchmark::State& state) {
    Target t;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    SelectObject(t.dc, pen);
    std::vector<TPoint> pts;
    std::srand(1);
    for (int i = 0; i < 1001; ++i)
        pts.push_back({std::rand() % W, std::rand() % H});
    std::int64_t pixels = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        pixels += std::max(std::abs(pts[i + 1].X - pts[i].X), std::abs(pts[i + 1].Y - pts[i].Y));
    for (auto _ : state) {
        MoveToEx(t.dc, pts[0].X, pts[0].Y, nullptr);
        for (std::size_t i = 1; i < pts.size(); ++i)
            LineTo(t.dc, pts[i].X, pts[i].Y);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * pixels);
    state.counters["x_ref"] = benchmark::Counter(
        double(state.iterations()) * MemsetSeconds() * double(pixels) / (double(W) * H),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    SelectObject(t.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

// Short labels as a mixer strip paints them, each centred in its cell: glyphs per second.
void BM_TextLabels(benchmark::State& state) {
    Target t;
    HFONT font = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SelectObject(t.dc, font);
    SetBkMode(t.dc, TRANSPARENT);
    const char* labels[] = {"Vol", "Pan", "-12.0 dB", "Track 12", "Mute", "Solo", "FX 1", "L64"};
    std::int64_t glyphs = 0;
    for (auto _ : state) {
        int i = 0;
        for (int y = 0; y + 16 <= H; y += 16)
            for (int x = 0; x + 60 <= W; x += 60, ++i) {
                const char* text = labels[i % 8];
                TRect r{x, y, x + 60, y + 16};
                DrawText(t.dc, text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
                glyphs += std::int64_t(std::strlen(text));
            }
    }
    state.SetItemsProcessed(glyphs);
    state.SetLabel("items = glyphs");
    SelectObject(t.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

} // namespace

BENCHMARK(BM_TextLabels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memset)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillRect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_XorRectangle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitInvert)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lines)->Unit(benchmark::kMicrosecond);
