#pragma once
// Windows that record their messages and paint themselves in one colour, for the window-model
// tests. Every window of the class "Spy<class style>" looks up its Spy here.

#include "platform/gdi/gdi.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace forms_test {

using namespace platform;

struct Msg {
    HWND h;
    UINT msg;
    WPARAM w;
    LPARAM l;
};

struct Spy {
    COLORREF fill = RGB(255, 255, 255);
    std::vector<Msg> msgs;
    std::vector<TRect> paints; // rcPaint of every WM_PAINT
    // Answers a message before the default handling; nullopt passes it on.
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> handler;
    // Paints instead of the plain fill (dc, paint rectangle).
    std::function<void(HDC, const TRect&)> painter;

    int Count(UINT m) const {
        int n = 0;
        for (const Msg& x : msgs)
            n += x.msg == m;
        return n;
    }
    std::vector<Msg> Of(UINT m) const {
        std::vector<Msg> r;
        for (const Msg& x : msgs)
            if (x.msg == m) r.push_back(x);
        return r;
    }
};

class FormsTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::map<HWND, std::unique_ptr<Spy>> spies;
    std::vector<std::pair<HWND, UINT>> order; // every message of every spy, in order

    ~FormsTest() override {
        for (HWND h : TopLevelWindows())
            DestroyWindow(h);
    }

    Spy& S(HWND h) { return *spies.at(h); }

    HWND Make(DWORD style, TRect r, HWND parent = 0, COLORREF fill = RGB(255, 255, 255),
              UINT classStyle = 0, DWORD exStyle = 0) {
        std::string name = "Spy" + std::to_string(classStyle);
        WNDCLASS wc;
        wc.style = classStyle;
        wc.lpszClassName = name;
        wc.lpfnWndProc = [this](HWND h, UINT m, WPARAM w, LPARAM l) { return Proc(h, m, w, l); };
        UnregisterClass(name); // the procedure captures this fixture
        RegisterClass(wc);
        pending_ = std::make_unique<Spy>();
        pending_->fill = fill;
        return CreateWindowEx(exStyle, name, "", style, r.Left, r.Top, r.Width(), r.Height(),
                              parent);
    }

    LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (!spies.count(h)) {
            if (!pending_) return DefWindowProc(h, m, w, l);
            spies[h] = std::move(pending_);
        }
        Spy& s = *spies[h];
        s.msgs.push_back({h, m, w, l});
        order.push_back({h, m});
        if (s.handler)
            if (auto r = s.handler(h, m, w, l)) return *r;
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            spies[h]->paints.push_back(ps.rcPaint);
            if (spies[h]->painter) {
                spies[h]->painter(dc, ps.rcPaint);
            } else {
                HBRUSH b = CreateSolidBrush(spies[h]->fill);
                FillRect(dc, &ps.rcPaint, b);
                DeleteObject(b);
            }
            EndPaint(h, &ps);
            return 0;
        }
        return DefWindowProc(h, m, w, l);
    }

    // The pixel as 0xRRGGBB from a COLORREF.
    static std::uint32_t Rgb(COLORREF c) {
        return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }

private:
    std::unique_ptr<Spy> pending_;
};

inline constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
inline constexpr DWORD kPopup = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;

} // namespace forms_test
