// The menu windows: one pop-up window for every open menu level, the bar in a window's
// non-client area, and the loop that tracks the pointer and the keys while a menu is open.

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/menus/menus.h"
#include "platform/menus/menus_internal.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/modal.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace platform {

namespace {

constexpr const char* kMenuClass = "TolvernMenu";
constexpr const char* kTrackerClass = "TolvernMenuTracker";
constexpr int kBorder = 3;       // raised edge and one pixel of space
constexpr int kItemHeight = 19;  // at least; a taller bitmap makes the row taller
constexpr int kLineHeight = 9;   // a separator
constexpr int kCheckWidth = 18;  // the mark or bitmap column
constexpr int kArrowWidth = 18;  // right of the text, where a submenu's arrow goes
constexpr int kShortCutGap = 16; // between the caption and the shortcut text
constexpr int kBarBreakGap = 4;  // the line between two columns with mbBarBreak
constexpr int kBarItemPad = 6;   // left and right of a bar item's caption

struct Entry {
    TMenuItem* item = nullptr;
    std::uint64_t serial = 0;
    TRect rect; // client coordinates of the level's window (window coordinates on the bar)
    bool line = false;
    int column = 0;
};

struct Level {
    std::uint64_t parent = 0; // serial of the item whose items show
    std::vector<Entry> entries;
    std::vector<int> barLines; // x of the line before a column with mbBarBreak
    int textX = kCheckWidth, shortCutX = 0;
    HWND wnd = 0;
    int selected = -1;
};

struct Tracker {
    std::vector<Level> levels;
    HWND wnd = 0;           // holds the capture; its client coordinates are the screen's
    HWND barWindow = 0;     // tracking a window's menu bar
    std::vector<Entry> bar; // the bar's items as laid out when tracking began
    int barSelected = -1;
    bool done = false;
    bool closing = false;
    std::uint64_t chosen = 0;
    bool pressed = false; // a press seen since the menu opened
    TPoint openPointer;
};

Tracker* g_track = nullptr;
void RegisterClasses();
std::map<HWND, TMainMenu*> g_bars;
FormMenuHooks g_formHooks;

TMenuItem* Live(const Entry& e) {
    return LiveMenuItem(e.serial);
}

bool Selectable(const Entry& e) {
    return !e.line && Live(e);
}

HFONT MenuFont(bool bold) {
    static HFONT normal = 0, boldFont = 0;
    HFONT& f = bold ? boldFont : normal;
    if (!f) {
        LOGFONT lf;
        GetObject(HFONT(GetStockObject(DEFAULT_GUI_FONT)), &lf);
        if (bold) lf.lfWeight = FW_BOLD;
        f = CreateFontIndirect(&lf);
    }
    return f;
}

// Caption and shortcut text of an item's caption ("Open\tCtrl+O" shows its own shortcut text).
std::pair<std::string, std::string> Texts(const TMenuItem& item) {
    std::string caption = item.Caption, shortCut = ShortCutToText(item.ShortCut);
    if (auto tab = caption.find('\t'); tab != std::string::npos) {
        if (shortCut.empty()) shortCut = caption.substr(tab + 1);
        caption.resize(tab);
    }
    return {caption, shortCut};
}

// The width of a caption as drawn ("&" marks are not drawn, "&&" draws one).
int TextWidth(HDC dc, std::string_view text, bool prefix) {
    TRect r{0, 0, 0, 0};
    DrawText(dc, text, &r, DT_SINGLELINE | DT_CALCRECT | (prefix ? 0u : unsigned(DT_NOPREFIX)));
    return r.Width();
}

// The access letter of a caption ("&File" -> 'f'), 0 when it has none.
char AccessKey(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return char(std::tolower(int(static_cast<unsigned char>(caption[i + 1]))));
    }
    return 0;
}

// Lays the visible items of parent out in columns; the window's size in size.
Level Layout(TMenuItem& parent, TSize& size) {
    Level lv;
    lv.parent = parent.Serial();
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ oldFont = SelectObject(dc, MenuFont(false));
    int maxCheck = kCheckWidth;
    for (int i = 0; i < parent.Count(); ++i)
        if (TMenuItem* it = parent.Items(i); it->Visible && it->Bitmap)
            maxCheck = std::max(maxCheck, it->Bitmap->width + 4);
    struct Column {
        int first, count, caption = 0, shortCut = 0, height = 0;
        bool barBreak;
    };
    std::vector<Column> columns;
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* it = parent.Items(i);
        if (!it->Visible) continue;
        Entry e{it, it->Serial(), {}, it->IsLine(), 0};
        if (columns.empty() || (it->Break != mbNone && columns.back().count > 0))
            columns.push_back({int(lv.entries.size()), 0, 0, 0, 0, it->Break == mbBarBreak});
        Column& c = columns.back();
        e.column = int(columns.size()) - 1;
        int h = kLineHeight;
        if (!e.line) {
            SelectObject(dc, MenuFont(it->Default));
            auto [caption, shortCut] = Texts(*it);
            c.caption = std::max(c.caption, TextWidth(dc, caption, true));
            if (!shortCut.empty())
                c.shortCut = std::max(c.shortCut, TextWidth(dc, shortCut, false));
            h = kItemHeight;
            if (it->Bitmap) h = std::max(h, it->Bitmap->height + 3);
        }
        e.rect = {0, c.height, 0, c.height + h};
        c.height += h;
        ++c.count;
        lv.entries.push_back(e);
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    lv.textX = maxCheck + 2;
    int x = kBorder, height = 0;
    for (std::size_t ci = 0; ci < columns.size(); ++ci) {
        Column& c = columns[ci];
        if (ci > 0 && c.barBreak) {
            lv.barLines.push_back(x + 1);
            x += kBarBreakGap;
        }
        int width = lv.textX + c.caption + kArrowWidth;
        if (c.shortCut) width += kShortCutGap + c.shortCut;
        for (int k = c.first; k < c.first + c.count; ++k) {
            TRect& r = lv.entries[std::size_t(k)].rect;
            r = {x, r.Top + kBorder, x + width, r.Bottom + kBorder};
        }
        x += width;
        height = std::max(height, c.height);
    }
    size = {x + kBorder, height + 2 * kBorder};
    return lv;
}

void DrawArrow(HDC dc, int x, int cy, COLORREF color) {
    HBRUSH b = CreateSolidBrush(color);
    HPEN p = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
    TPoint pts[3] = {{x, cy - 3}, {x + 3, cy}, {x, cy + 3}};
    Polygon(dc, pts, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(b);
    DeleteObject(p);
}

void DrawMark(HDC dc, const TRect& box, bool radio, COLORREF color) {
    const int cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
    HPEN p = CreatePen(PS_SOLID, 1, color);
    HBRUSH b = CreateSolidBrush(color);
    HGDIOBJ op = SelectObject(dc, p), ob = SelectObject(dc, b);
    if (radio) {
        Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
    } else {
        for (int d = 0; d < 3; ++d) { // a tick three pixels thick
            MoveToEx(dc, cx - 3, cy - 1 + d, nullptr);
            LineTo(dc, cx - 1, cy + 1 + d);
            LineTo(dc, cx + 4, cy - 4 + d);
        }
    }
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(p);
    DeleteObject(b);
}

void DrawBitmap(HDC dc, const Surface& image, int x, int y) {
    auto copy = std::make_shared<Surface>(image);
    HBITMAP bm = CreateBitmapFromSurface(copy);
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, bm);
    COLORREF key = GetPixel(src, 0, image.height - 1);
    TransparentBlt(dc, x, y, image.width, image.height, src, 0, 0, image.width, image.height, key);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bm);
}

void DrawEntry(HDC dc, const Level& lv, const Entry& e, bool selected) {
    const TMenuItem* it = Live(e);
    const TRect& r = e.rect;
    HBRUSH back = CreateSolidBrush(GetSysColor(selected && it ? COLOR_HIGHLIGHT : COLOR_MENU));
    FillRect(dc, &r, back);
    DeleteObject(back);
    if (!it) return;
    if (e.line) {
        const int y = (r.Top + r.Bottom) / 2 - 1;
        HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        HGDIOBJ old = SelectObject(dc, dark);
        MoveToEx(dc, r.Left + 1, y, nullptr);
        LineTo(dc, r.Right - 1, y);
        SelectObject(dc, light);
        MoveToEx(dc, r.Left + 1, y + 1, nullptr);
        LineTo(dc, r.Right - 1, y + 1);
        SelectObject(dc, old);
        DeleteObject(dark);
        DeleteObject(light);
        return;
    }
    const COLORREF text = GetSysColor(!it->Enabled ? COLOR_GRAYTEXT
                                      : selected   ? COLOR_HIGHLIGHTTEXT
                                                   : COLOR_MENUTEXT);
    TRect box{r.Left, r.Top, r.Left + lv.textX - 2, r.Bottom};
    if (it->Bitmap) {
        DrawBitmap(dc, *it->Bitmap, box.Left + 2, (box.Top + box.Bottom - it->Bitmap->height) / 2);
        if (it->Checked) {
            HBRUSH edge = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
            TRect frame{box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1};
            FrameRect(dc, &frame, edge);
            DeleteObject(edge);
        }
    } else if (it->Checked) {
        DrawMark(dc, box, it->RadioItem, text);
    }
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, MenuFont(it->Default));
    // Named copies, not structured bindings: clang before 16 cannot capture those.
    const auto texts = Texts(*it);
    const auto& caption = texts.first;
    const auto& shortCut = texts.second;
    auto draw = [&](COLORREF color, int dx) {
        SetTextColor(dc, color);
        TRect t{r.Left + lv.textX + dx, r.Top + dx, r.Right + dx, r.Bottom + dx};
        DrawText(dc, caption, &t, DT_SINGLELINE | DT_VCENTER);
        if (!shortCut.empty()) {
            TRect s{t.Left, t.Top, r.Right - kArrowWidth + dx, t.Bottom};
            DrawText(dc, shortCut, &s, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
        }
    };
    if (!it->Enabled && !selected) draw(GetSysColor(COLOR_BTNHIGHLIGHT), 1); // engraved
    draw(text, 0);
    SelectObject(dc, oldFont);
    if (it->Count() > 0) DrawArrow(dc, r.Right - 10, (r.Top + r.Bottom) / 2, text);
}

void PaintLevel(HWND h, HDC dc) {
    if (!g_track) return;
    for (const Level& lv : g_track->levels) {
        if (lv.wnd != h) continue;
        TRect all;
        GetClientRect(h, &all);
        HBRUSH back = CreateSolidBrush(GetSysColor(COLOR_MENU));
        FillRect(dc, &all, back);
        DeleteObject(back);
        // A raised edge.
        auto line = [&](int color, int x1, int y1, int x2, int y2) {
            HPEN p = CreatePen(PS_SOLID, 1, GetSysColor(color));
            HGDIOBJ old = SelectObject(dc, p);
            MoveToEx(dc, x1, y1, nullptr);
            LineTo(dc, x2, y2);
            SelectObject(dc, old);
            DeleteObject(p);
        };
        const int w = all.Right, ht = all.Bottom;
        line(COLOR_3DLIGHT, 0, ht - 1, 0, 0);
        line(COLOR_3DLIGHT, 0, 0, w - 1, 0);
        line(COLOR_3DDKSHADOW, w - 1, 0, w - 1, ht);
        line(COLOR_3DDKSHADOW, 0, ht - 1, w - 1, ht - 1);
        line(COLOR_BTNHIGHLIGHT, 1, ht - 2, 1, 1);
        line(COLOR_BTNHIGHLIGHT, 1, 1, w - 2, 1);
        line(COLOR_BTNSHADOW, w - 2, 1, w - 2, ht - 1);
        line(COLOR_BTNSHADOW, 1, ht - 2, w - 2, ht - 2);
        for (int x : lv.barLines) {
            line(COLOR_BTNSHADOW, x, kBorder, x, ht - kBorder);
            line(COLOR_BTNHIGHLIGHT, x + 1, kBorder, x + 1, ht - kBorder);
        }
        for (std::size_t i = 0; i < lv.entries.size(); ++i)
            DrawEntry(dc, lv, lv.entries[i], int(i) == lv.selected);
        return;
    }
}

LRESULT MenuWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        PaintLevel(h, dc);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

// ---- tracking ------------------------------------------------------------------------------

HWND CommandWindow() {
    static HWND h = RegisterWindowProc([](HWND, UINT msg, WPARAM, LPARAM l) -> LRESULT {
        if (msg == WM_COMMAND)
            if (TMenuItem* item = LiveMenuItem(std::uint64_t(l))) item->Click();
        return 0;
    });
    return h;
}

TRect Offset(TRect r, int dx, int dy) {
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

TRect ScreenRect(const Level& lv, const Entry& e) {
    TRect wr;
    GetWindowRect(lv.wnd, &wr);
    return Offset(e.rect, wr.Left, wr.Top);
}

bool Contains(const TRect& r, TPoint p) {
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

void RepaintLevel(const Level& lv) {
    if (lv.wnd) InvalidateRect(lv.wnd, nullptr, false);
}

void RepaintBar() {
    if (g_track && g_track->barWindow) DrawMenuBar(g_track->barWindow);
}

// Closes the levels from `level` on.
void CloseFrom(std::size_t level) {
    auto& levels = g_track->levels;
    while (levels.size() > level) {
        HWND h = levels.back().wnd;
        levels.pop_back();
        if (h) DestroyWindow(h);
    }
}

void Select(std::size_t level, int index) {
    Level& lv = g_track->levels[level];
    if (lv.selected == index) return;
    lv.selected = index;
    RepaintLevel(lv);
}

void SelectStep(std::size_t level, int dir) {
    Level& lv = g_track->levels[level];
    const int n = int(lv.entries.size());
    int i = lv.selected < 0 ? (dir > 0 ? -1 : n) : lv.selected;
    for (int k = 0; k < n; ++k) {
        i = ((i + dir) % n + n) % n;
        if (Selectable(lv.entries[std::size_t(i)])) {
            Select(level, i);
            return;
        }
    }
}

// Opens the visible items of parent as a new level. A submenu goes beside the item it belongs
// to (screen rectangle `beside`), else its corner is at (x, y) as the alignment says.
bool OpenLevel(TMenuItem* parent, int x, int y, const TRect* beside, bool runClick,
               TPopupAlignment alignment = paLeft) {
    const std::uint64_t serial = parent->Serial();
    if (runClick) parent->Click(); // may change the items it is about to show
    parent = LiveMenuItem(serial);
    if (!parent || !g_track || g_track->done) return false;
    TSize size;
    Level lv = Layout(*parent, size);
    if (lv.entries.empty()) return false;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (beside) {
        x = beside->Right - 3;
        y = beside->Top - kBorder;
        if (x + size.cx > sw) x = beside->Left - size.cx + 3;
    } else if (alignment == paRight) {
        x -= size.cx;
    } else if (alignment == paCenter) {
        x -= size.cx / 2;
    }
    x = std::clamp(x, 0, std::max(0, sw - size.cx));
    y = std::clamp(y, 0, std::max(0, sh - size.cy));
    RegisterClasses();
    HWND h = CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kMenuClass, parent->Caption, WS_POPUP,
                            x, y, size.cx, size.cy, 0);
    lv.wnd = h;
    g_track->levels.push_back(std::move(lv));
    ShowWindow(h, SW_SHOWNA);
    return true;
}

// Opens the submenu of the entry when it has one and it is not open yet.
bool OpenSubmenu(std::size_t level, int index) {
    const Entry& e = g_track->levels[level].entries[std::size_t(index)];
    TMenuItem* item = Live(e);
    if (!item || e.line || item->Count() == 0 || !item->Enabled) return false;
    auto& levels = g_track->levels;
    if (levels.size() > level + 1 && levels[level + 1].parent == e.serial) return true;
    CloseFrom(level + 1);
    TRect r = ScreenRect(levels[level], e);
    return OpenLevel(item, 0, 0, &r, true);
}

void Choose(std::uint64_t serial) {
    g_track->chosen = serial;
    g_track->done = true;
}

std::vector<Entry> BarLayout(HWND top) {
    std::vector<Entry> out;
    TMainMenu* menu = BarMenu(top);
    TRect bar = MenuBarRect(top);
    if (!menu || bar.Width() <= 0) return out;
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, MenuFont(false));
    int x = bar.Left;
    for (TMenuItem* item : menu->BarItems()) {
        const int w = TextWidth(dc, Texts(*item).first, true) + 2 * kBarItemPad;
        out.push_back({item, item->Serial(), {x, bar.Top + 1, x + w, bar.Bottom - 1}, false, 0});
        x += w;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

// Highlights bar item `index` and, with dropdown, opens its items below it.
void OpenBarItem(int index, bool dropdown) {
    CloseFrom(0);
    g_track->barSelected = index;
    RepaintBar();
    if (!dropdown || index < 0 || index >= int(g_track->bar.size())) return;
    const Entry& e = g_track->bar[std::size_t(index)];
    TMenuItem* item = Live(e);
    if (!item || !item->Enabled || item->Count() == 0) return;
    TRect wr;
    GetWindowRect(g_track->barWindow, &wr);
    OpenLevel(item, wr.Left + e.rect.Left, wr.Top + e.rect.Bottom + 1, nullptr, true);
}

void StepBar(int dir) {
    const int n = int(g_track->bar.size());
    if (n == 0) return;
    const bool dropdown = !g_track->levels.empty();
    int i = g_track->barSelected;
    for (int k = 0; k < n; ++k) {
        i = ((i + dir) % n + n) % n;
        if (Live(g_track->bar[std::size_t(i)])) break;
    }
    OpenBarItem(i, dropdown);
    if (dropdown && !g_track->levels.empty()) SelectStep(0, 1);
}

// The level the keys work on: the innermost, unless the pointer opened it and nothing in it is
// selected yet; then the one holding its parent item. levels.size() when only the bar is lit.
std::size_t KeyLevel() {
    const auto& levels = g_track->levels;
    const std::size_t n = levels.size();
    if (n == 0) return 0;
    return n > 1 && levels[n - 1].selected < 0 ? n - 2 : n - 1;
}

// Enter on the selected entry of the level, or on the bar's lit item (level == levels.size()).
void Activate(std::size_t level) {
    Tracker& t = *g_track;
    if (level >= t.levels.size()) {
        if (t.barSelected < 0 || t.barSelected >= int(t.bar.size())) return;
        TMenuItem* item = Live(t.bar[std::size_t(t.barSelected)]);
        if (!item || !item->Enabled) return;
        if (item->Count() == 0) {
            Choose(item->Serial());
            return;
        }
        OpenBarItem(t.barSelected, true);
        if (!t.levels.empty()) SelectStep(0, 1);
        return;
    }
    const int sel = t.levels[level].selected;
    if (sel < 0) return;
    const Entry& e = t.levels[level].entries[std::size_t(sel)];
    TMenuItem* item = Live(e);
    if (!item || e.line || !item->Enabled) return;
    if (item->Count() > 0) {
        if (OpenSubmenu(level, sel) && t.levels.size() > level + 1) {
            CloseFrom(level + 2);
            SelectStep(level + 1, 1);
        }
        return;
    }
    Choose(e.serial);
}

void AccessLetter(std::size_t level, char c) {
    Tracker& t = *g_track;
    const bool onBar = level >= t.levels.size();
    const std::vector<Entry>& entries = onBar ? t.bar : t.levels[level].entries;
    const int current = onBar ? t.barSelected : t.levels[level].selected;
    std::vector<int> matches;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (Selectable(entries[i]) && AccessKey(Live(entries[i])->Caption) == c)
            matches.push_back(int(i));
    if (matches.empty()) return;
    if (!onBar) CloseFrom(level + 1);
    if (matches.size() > 1) { // several: the next one after the selection
        auto next = std::upper_bound(matches.begin(), matches.end(), current);
        const int i = next == matches.end() ? matches.front() : *next;
        if (onBar)
            OpenBarItem(i, false);
        else
            Select(level, i);
        return;
    }
    if (onBar)
        t.barSelected = matches[0];
    else
        Select(level, matches[0]);
    Activate(level);
}

void TrackKey(UINT vk) {
    Tracker& t = *g_track;
    const std::size_t n = t.levels.size();
    const std::size_t cur = KeyLevel();
    switch (vk) {
    case VK_ESCAPE:
        if (n > 1 || (n == 1 && t.barWindow))
            CloseFrom(n - 1);
        else
            t.done = true;
        break;
    case VK_F10:
        t.done = true;
        break;
    case VK_UP:
    case VK_DOWN:
        if (n == 0) {
            Activate(0);
        } else {
            CloseFrom(cur + 1);
            SelectStep(cur, vk == VK_DOWN ? 1 : -1);
        }
        break;
    case VK_LEFT:
        if (cur >= 1 && cur < n)
            CloseFrom(cur);
        else if (t.barWindow)
            StepBar(-1);
        else if (n > 1)
            CloseFrom(1);
        break;
    case VK_RIGHT: {
        if (cur < n) {
            const Level& lv = t.levels[cur];
            if (lv.selected >= 0) {
                TMenuItem* item = Live(lv.entries[std::size_t(lv.selected)]);
                if (item && item->Count() > 0 && item->Enabled) {
                    Activate(cur);
                    break;
                }
            }
        }
        if (t.barWindow) StepBar(1);
        break;
    }
    case VK_RETURN:
    case VK_SPACE:
        Activate(cur);
        break;
    default:
        if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
            AccessLetter(cur, char(std::tolower(int(vk))));
        break;
    }
}

struct Hit {
    int level = -1, index = -1, bar = -1;
};

Hit HitAt(TPoint p) {
    Tracker& t = *g_track;
    for (int L = int(t.levels.size()) - 1; L >= 0; --L) {
        const Level& lv = t.levels[std::size_t(L)];
        TRect wr;
        GetWindowRect(lv.wnd, &wr);
        if (!Contains(wr, p)) continue;
        for (std::size_t i = 0; i < lv.entries.size(); ++i)
            if (Contains(Offset(lv.entries[i].rect, wr.Left, wr.Top), p)) return {L, int(i), -1};
        return {L, -1, -1};
    }
    if (t.barWindow) {
        TRect wr;
        GetWindowRect(t.barWindow, &wr);
        for (std::size_t i = 0; i < t.bar.size(); ++i)
            if (Contains(Offset(t.bar[i].rect, wr.Left, wr.Top), p)) return {-1, -1, int(i)};
    }
    return {};
}

void TrackMouse(UINT msg, TPoint p) {
    Tracker& t = *g_track;
    const Hit hit = HitAt(p);
    const bool moved = p.X != t.openPointer.X || p.Y != t.openPointer.Y;
    switch (msg) {
    case WM_MOUSEMOVE:
        if (!moved) return;
        if (hit.index >= 0) {
            const std::size_t L = std::size_t(hit.level);
            const Entry& e = t.levels[L].entries[std::size_t(hit.index)];
            Select(L, e.line ? -1 : hit.index);
            if (t.levels.size() > L + 1 && t.levels[L + 1].parent != e.serial) CloseFrom(L + 1);
            if (!e.line) OpenSubmenu(L, hit.index);
        } else if (hit.bar >= 0) {
            if (hit.bar != t.barSelected && !t.levels.empty()) OpenBarItem(hit.bar, true);
        } else if (hit.level < 0 && !t.levels.empty()) {
            const std::size_t L = t.levels.size() - 1;
            Select(L, -1);
        }
        return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        t.pressed = true;
        if (hit.bar >= 0) {
            if (hit.bar == t.barSelected && !t.levels.empty())
                t.done = true; // a second press on the open item closes it
            else
                OpenBarItem(hit.bar, true);
        } else if (hit.index >= 0) {
            OpenSubmenu(std::size_t(hit.level), hit.index);
        } else if (hit.level < 0) {
            t.done = true; // a press outside closes the menu
        }
        return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        // The release of the press that opened the menu chooses nothing where it was pressed.
        if (!t.pressed && !moved) return;
        if (hit.index >= 0) {
            const Entry& e = t.levels[std::size_t(hit.level)].entries[std::size_t(hit.index)];
            TMenuItem* item = Live(e);
            if (item && !e.line && item->Enabled && item->Count() == 0) Choose(e.serial);
        } else if (hit.bar >= 0 && t.pressed) {
            TMenuItem* item = Live(t.bar[std::size_t(hit.bar)]);
            if (item && item->Enabled && item->Count() == 0) Choose(item->Serial());
        }
        return;
    default:
        return;
    }
}

LRESULT TrackerProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!g_track || g_track->wnd != h) return DefWindowProc(h, msg, w, l);
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: {
        TPoint p{std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))};
        ClientToScreen(h, &p);
        UINT m = msg == WM_LBUTTONDBLCLK   ? WM_LBUTTONDOWN
                 : msg == WM_RBUTTONDBLCLK ? WM_RBUTTONDOWN
                                           : msg;
        TrackMouse(m, p);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (!g_track->closing) g_track->done = true; // taken away (another program activated)
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASS wc;
    wc.style = CS_SAVEBITS;
    wc.lpszClassName = kMenuClass;
    wc.lpfnWndProc = MenuWindowProc;
    wc.hCursor = IDC_ARROW;
    RegisterClass(wc);
    WNDCLASS tc;
    tc.lpszClassName = kTrackerClass;
    tc.lpfnWndProc = TrackerProc;
    RegisterClass(tc);
}

// Runs one menu session: open() shows the first level or the bar; returns once it closed.
void Track(const std::string& caption, const std::function<bool()>& open) {
    if (g_track) return; // one menu at a time
    RegisterClasses();
    Tracker t;
    g_track = &t;
    t.wnd = CreateWindowEx(WS_EX_TOOLWINDOW, kTrackerClass, caption.empty() ? "menu" : caption,
                           WS_POPUP, 0, 0, 1, 1, 0);
    GetCursorPos(&t.openPointer);
    if (open() && !t.done) {
        SetCapture(t.wnd);
        RunTrackingLoop(t.wnd, [&] { return t.done; });
    }
    t.closing = true;
    CloseFrom(0);
    if (GetCapture() == t.wnd) ReleaseCapture();
    const HWND bar = t.barWindow;
    DestroyWindow(t.wnd);
    g_track = nullptr;
    if (bar) DrawMenuBar(bar);
    if (t.chosen) PostMessage(CommandWindow(), WM_COMMAND, 0, LPARAM(t.chosen));
}

void TrackBar(HWND top, int index, bool dropdown, bool selectFirst) {
    TMainMenu* menu = BarMenu(top);
    if (!menu) return;
    Track(menu->Name, [&] {
        g_track->barWindow = top;
        g_track->bar = BarLayout(top);
        if (index < 0 || index >= int(g_track->bar.size())) return false;
        OpenBarItem(index, dropdown);
        if (selectFirst && !g_track->levels.empty()) SelectStep(0, 1);
        return true;
    });
}

void PaintBar(HWND top, HDC dc, const TRect& bar) {
    HBRUSH back = CreateSolidBrush(GetSysColor(COLOR_MENU));
    FillRect(dc, &bar, back);
    DeleteObject(back);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, MenuFont(false));
    const bool tracking = g_track && g_track->barWindow == top;
    std::vector<Entry> entries = BarLayout(top);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TMenuItem* item = entries[i].item;
        const bool hot = tracking && int(i) == g_track->barSelected;
        TRect r = entries[i].rect;
        if (hot) {
            HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
            FillRect(dc, &r, b);
            DeleteObject(b);
        }
        auto draw = [&](int color, int d) {
            SetTextColor(dc, GetSysColor(color));
            TRect t = Offset(r, d, d);
            DrawText(dc, Texts(*item).first, &t, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        };
        if (!item->Enabled && !hot) draw(COLOR_BTNHIGHLIGHT, 1);
        draw(!item->Enabled ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT, 0);
    }
    SelectObject(dc, old);
}

} // namespace

void InstallMenuHooks() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    SetMenuKeyHook([](UINT vk, UINT) {
        if (!g_track) return false;
        TrackKey(vk);
        return true;
    });
    if (g_formHooks.Install) g_formHooks.Install();
    MenuBarHooks hooks;
    hooks.Paint = [](HWND top, std::uintptr_t dc, const TRect& bar) { PaintBar(top, dc, bar); };
    hooks.Press = [](HWND top, TPoint screen) {
        TRect wr;
        GetWindowRect(top, &wr);
        std::vector<Entry> entries = BarLayout(top);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (Contains(Offset(entries[i].rect, wr.Left, wr.Top), screen)) {
                TrackBar(top, int(i), true, false);
                return;
            }
    };
    hooks.KeyMenu = [](HWND top, char32_t letter) {
        if (g_track || !BarMenu(top)) return;
        if (letter == 0) {
            TrackBar(top, 0, false, false);
            return;
        }
        if (letter > 0x7F) return;
        const char c = char(std::tolower(int(letter)));
        std::vector<Entry> entries = BarLayout(top);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].item->Enabled && AccessKey(entries[i].item->Caption) == c) {
                TrackBar(top, int(i), true, true);
                return;
            }
    };
    SetMenuBarHooks(std::move(hooks));
}

void SetFormMenuHooks(const FormMenuHooks& hooks) {
    g_formHooks = hooks;
}

TMainMenu* BarMenu(HWND top) {
    if (g_formHooks.SyncBar) g_formHooks.SyncBar(top);
    return GetWindowMenu(top);
}

void PopupMenuGoing(TPopupMenu* menu) {
    if (g_formHooks.PopupMenuGoing) g_formHooks.PopupMenuGoing(menu);
}

void MenuGoing(TMenu* menu) {
    if (g_formHooks.MenuGoing) g_formHooks.MenuGoing(menu);
    if (!g_track) return;
    for (const Level& lv : g_track->levels)
        if (TMenuItem* p = LiveMenuItem(lv.parent); p && p->GetParentMenu() == menu)
            g_track->done = true;
    if (g_track->barWindow && GetWindowMenu(g_track->barWindow) == menu) g_track->done = true;
}

void TPopupMenu::Popup(int x, int y) {
    if (g_track) return;
    if (OnPopup) OnPopup(this);
    TPopupMenu* self = this;
    Track(Name, [&] { return OpenLevel(self->Items, x, y, nullptr, false, self->Alignment); });
}

void SetWindowMenu(HWND h, TMainMenu* menu) {
    InstallMenuHooks();
    auto it = g_bars.find(h);
    TMainMenu* old = it == g_bars.end() ? nullptr : it->second;
    if (old == menu) {
        DrawMenuBar(h);
        return;
    }
    if (old) old->window_ = 0;
    if (menu) {
        if (menu->window_ && menu->window_ != h) SetWindowMenu(menu->window_, nullptr);
        g_bars[h] = menu;
        menu->window_ = h;
    } else if (it != g_bars.end()) {
        g_bars.erase(it);
    }
    if (g_track && g_track->barWindow == h) g_track->done = true;
    SetMenuBarHeight(h, menu ? kMenuBarHeight : 0);
    DrawMenuBar(h);
}

TMainMenu* GetWindowMenu(HWND h) {
    auto it = g_bars.find(h);
    return it == g_bars.end() || !IsWindow(h) ? nullptr : it->second;
}

void DrawMenuBar(HWND h) {
    TRect none{0, 0, 0, 0};
    RedrawWindow(h, &none, RDW_INVALIDATE | RDW_FRAME);
}

bool MenuTracking() {
    return g_track != nullptr;
}

void EndMenu() {
    if (g_track) g_track->done = true;
}

std::vector<HWND> OpenMenuWindows() {
    std::vector<HWND> out;
    if (g_track)
        for (const Level& lv : g_track->levels)
            out.push_back(lv.wnd);
    return out;
}

std::vector<TMenuItem*> ShownMenuItems(int level) {
    std::vector<TMenuItem*> out;
    if (!g_track || level < 0 || level >= int(g_track->levels.size())) return out;
    for (const Entry& e : g_track->levels[std::size_t(level)].entries)
        if (TMenuItem* item = Live(e)) out.push_back(item);
    return out;
}

} // namespace platform
