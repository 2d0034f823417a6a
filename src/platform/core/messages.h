#pragma once
// Window handles, window procedures and the message queue of the GUI thread.
//
// The GUI thread is the thread that called SetGuiThread(), or, without that call, the first
// thread that registered a window procedure or pumped messages. Window procedures run only
// there. PostMessage may be called from any thread, the audio and MIDI threads included: it
// never blocks and never allocates (a preallocated lock-free queue); when the queue is full the
// message is dropped and counted, and the count is reported on the GUI thread by the next pump.
// SendMessage from another thread blocks until the GUI thread has handled the message; the GUI
// thread handles such sends whenever it pumps or waits in this layer (WaitWhile, WaitMessage,
// Sleep), so a thread that sends while the GUI thread waits for it cannot deadlock.

#include <cstdint>
#include <functional>

namespace platform {

using HWND = std::intptr_t;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

using WndProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Message numbers, as the program and its plug-ins know them.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETREDRAW = 0x000B;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_ENDSESSION = 0x0016;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
inline constexpr UINT WM_DRAWITEM = 0x002B;
inline constexpr UINT WM_MEASUREITEM = 0x002C;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_NCLBUTTONUP = 0x00A2;
inline constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_DEADCHAR = 0x0103;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_INITMENU = 0x0116;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_MENUSELECT = 0x011F;
inline constexpr UINT WM_MENUCHAR = 0x0120;
inline constexpr UINT WM_ENTERIDLE = 0x0121;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_MOUSEHWHEEL = 0x020E;
inline constexpr UINT WM_ENTERMENULOOP = 0x0211;
inline constexpr UINT WM_EXITMENULOOP = 0x0212;
inline constexpr UINT WM_SIZING = 0x0214;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_MOVING = 0x0216;
inline constexpr UINT WM_MDIACTIVATE = 0x0222;
inline constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
inline constexpr UINT WM_EXITSIZEMOVE = 0x0232;
inline constexpr UINT WM_DROPFILES = 0x0233;
inline constexpr UINT WM_MOUSEHOVER = 0x02A1;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_CUT = 0x0300;
inline constexpr UINT WM_COPY = 0x0301;
inline constexpr UINT WM_PASTE = 0x0302;
inline constexpr UINT WM_CLEAR = 0x0303;
inline constexpr UINT WM_UNDO = 0x0304;
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Multimedia MIDI notifications sent to a callback window.
inline constexpr UINT MM_MIM_OPEN = 0x03C1;
inline constexpr UINT MM_MIM_CLOSE = 0x03C2;
inline constexpr UINT MM_MIM_DATA = 0x03C3;
inline constexpr UINT MM_MIM_LONGDATA = 0x03C4;
inline constexpr UINT MM_MIM_ERROR = 0x03C5;
inline constexpr UINT MM_MIM_LONGERROR = 0x03C6;
inline constexpr UINT MM_MOM_OPEN = 0x03C7;
inline constexpr UINT MM_MOM_CLOSE = 0x03C8;
inline constexpr UINT MM_MOM_DONE = 0x03C9;
inline constexpr UINT MM_MOM_POSITIONCB = 0x03CA;
inline constexpr UINT MM_MIM_MOREDATA = 0x03CC;

// Key and button state flags of mouse messages (low word of wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

// Packing of two 16-bit values into a message parameter.
constexpr std::uint16_t LOWORD(std::uintptr_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }
constexpr std::uint16_t HIWORD(std::uintptr_t v) {
    return static_cast<std::uint16_t>((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(std::uint16_t lo, std::uint16_t hi) {
    return static_cast<WPARAM>(static_cast<std::uint32_t>(lo) | (static_cast<std::uint32_t>(hi) << 16));
}
constexpr LPARAM MAKELPARAM(std::uint16_t lo, std::uint16_t hi) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(lo) | (static_cast<std::uint32_t>(hi) << 16));
}
// The signed wheel distance in the high word of a WM_MOUSEWHEEL wParam.
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<std::int16_t>(HIWORD(w)); }

// Room in the posted-message queue; a post beyond it is dropped and counted.
inline constexpr std::size_t kPostQueueSize = 4096;

// Makes the calling thread the GUI thread.
void SetGuiThread();
bool IsGuiThread();

// A new handle (never 0 or -1, never reused) whose messages go to proc. Binds the GUI thread
// when none is bound yet.
HWND RegisterWindowProc(WndProc proc);
// Messages still queued for h are dropped when their turn comes.
void UnregisterWindowProc(HWND h);
bool IsWindow(HWND h);

// Queues the message for the GUI thread. Any thread; never blocks, never allocates. False for
// the handles 0 and -1 and when the queue is full (the message is then dropped and counted).
// A message whose handle has no window when its turn comes is dropped.
bool PostMessage(HWND h, UINT msg, WPARAM w, LPARAM l);

// Runs the window procedure of h and returns its result (0 when h has no window). On the GUI
// thread a direct call; on another thread it blocks until the GUI thread has handled it. An
// exception thrown by the procedure reaches the sender.
LRESULT SendMessage(HWND h, UINT msg, WPARAM w, LPARAM l);

// GUI thread: handles pending cross-thread sends, then every message posted before the call,
// then the timers that are due; reports dropped posts. Returns the number of messages handled
// (sends, posts and timer messages). Messages posted while it runs wait for the next call.
int PumpMessages();

// The window layer's paint pass. PumpMessages calls it after the posted messages and before the
// timers, so that windows paint before WM_TIMER; it returns how many windows it painted.
using PaintHook = int (*)();
void SetPaintHook(PaintHook hook);

// GUI thread: handles pending cross-thread sends only. Returns how many.
int ServeSends();

// Waits while pred() holds, serving cross-thread sends when called on the GUI thread.
// timeoutMs counts real time (0xFFFFFFFF: no limit). True when pred() became false.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
bool WaitWhile(const std::function<bool()>& pred, std::uint32_t timeoutMs = kInfinite);

// GUI thread: blocks until a message was posted or sent, the next timer is due, or maxMs of
// real time passed. Serves sends that arrive meanwhile.
void WaitMessage(std::uint32_t maxMs);

// A descriptor that turns readable when posts or sends are waiting, for an event loop that
// watches descriptors; PumpMessages clears it.
int MessageEventFd();

// Total posts dropped because the queue was full.
std::uint64_t DroppedMessageCount();
// Called on the GUI thread by the pump when posts were dropped since the last report; without
// a reporter (or after SetDropReporter(nullptr)) a line goes to stderr.
using DropReporter = std::function<void(std::uint64_t newlyDropped, std::uint64_t total)>;
void SetDropReporter(DropReporter reporter);

} // namespace platform
