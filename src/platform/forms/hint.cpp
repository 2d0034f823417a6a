#include "platform/forms/hint.h"

#include "platform/core/timers.h"
#include "platform/forms/application.h"
#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"

#include <memory>
#include <vector>

namespace platform {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

struct HintState {
    TControl* control = nullptr;
    std::string shown;
    std::unique_ptr<THintWindow> window;
    std::unique_ptr<TTimer> pause, hide;
};

HintState& H() {
    static HintState s;
    return s;
}

void HideWindow() {
    HintState& s = H();
    s.shown.clear();
    if (s.window) s.window->Visible = false;
    if (s.hide) s.hide->Enabled = false;
}

void ShowNow() {
    HintState& s = H();
    s.pause->Enabled = false;
    TControl* c = s.control;
    if (!c || c->Hint.empty() || !c->Showing()) return;
    if (!s.window) s.window = std::make_unique<THintWindow>(nullptr);
    TPoint p;
    GetCursorPos(&p);
    s.window->ActivateHint({p.X, p.Y + 20}, c->Hint);
    s.shown = c->Hint;
    if (!s.hide) {
        s.hide = std::make_unique<TTimer>();
        s.hide->OnTimer = [] { HideWindow(); };
    }
    s.hide->Enabled = false;
    s.hide->Interval = std::uint32_t(std::max(10, Application->HintHidePause));
    s.hide->Enabled = true;
}

bool Wants(TControl* c) {
    return c && Application->ShowHint && !c->Hint.empty() && c->GetShowHint();
}

} // namespace

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    visible_ = false;
    color_ = clInfoBk;
    Font.Color = clInfoText;
}

void THintWindow::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.Style = WS_POPUP | WS_BORDER;
    p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    p.WndParent = 0;
    p.ClassStyle |= CS_SAVEBITS;
}

void THintWindow::ActivateHint(TPoint screen, const std::string& text) {
    Caption = text;
    HDC dc = CreateCompatibleDC(0);
    int w = 0, lineHeight = 0;
    {
        TCanvas c(dc);
        c.Font = Font.Get();
        for (const std::string& line : Lines(text)) {
            TSize sz = c.TextExtent(line.empty() ? " " : line);
            w = std::max(w, sz.cx);
            lineHeight = std::max(lineHeight, sz.cy);
        }
    }
    DeleteDC(dc);
    const int n = int(Lines(text).size());
    const int width = w + 8, height = n * lineHeight + 4;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int x = std::max(0, std::min(screen.X, sw - width));
    int y = screen.Y;
    if (y + height > sh) y = std::max(0, screen.Y - 20 - height - 4);
    Handle();
    SetBounds(x, y, width, height);
    Visible = true;
    BringToFront();
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    Visible = false;
}

void THintWindow::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    c.Font = Font.Get();
    const int lineHeight = c.TextHeight("Xg");
    int y = 1;
    for (const std::string& line : Lines(GetText())) {
        TRect lr{3, y, r.Right, y + lineHeight};
        CanvasDrawText(c, line, &lr, DT_SINGLELINE | DT_NOPREFIX, Font.Get().Color);
        y += lineHeight;
    }
}

std::string CurrentHint() {
    return H().shown;
}

TControl* HintControl() {
    return H().control;
}

void HintMouseEnter(TControl* c) {
    HintState& s = H();
    if (c == s.control) return;
    HideWindow();
    s.control = c;
    if (!Wants(c)) return;
    if (!s.pause) {
        s.pause = std::make_unique<TTimer>();
        s.pause->Enabled = false;
        s.pause->OnTimer = [] { ShowNow(); };
    }
    s.pause->Enabled = false;
    s.pause->Interval = std::uint32_t(std::max(10, Application->HintPause));
    s.pause->Enabled = true;
}

void HintMouseLeave(TControl* c) {
    HintState& s = H();
    if (c != s.control) return;
    HideWindow();
    if (s.pause) s.pause->Enabled = false;
    s.control = nullptr;
    // Off a windowless control the pointer is on its parent again.
    if (!dynamic_cast<TWinControl*>(c) && c->GetParent()) {
        TPoint p;
        GetCursorPos(&p);
        TWinControl* parent = c->GetParent();
        const TPoint local = parent->ScreenToClient(p);
        const TRect r = parent->ClientRect();
        if (local.X >= r.Left && local.Y >= r.Top && local.X < r.Right && local.Y < r.Bottom)
            HintMouseEnter(parent);
    }
}

void HintControlGoing(TControl* c) {
    HintState& s = H();
    if (s.control != c) return;
    HideWindow();
    if (s.pause) s.pause->Enabled = false;
    s.control = nullptr;
}

void CancelHint() {
    HintState& s = H();
    HideWindow();
    if (s.pause) s.pause->Enabled = false;
}

} // namespace platform
