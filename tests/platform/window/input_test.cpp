// The input router, focus and activation, and modal loops of the window model.
#include "window_fixture.h"

#include "platform/core/timers.h"
#include "platform/window/graphic.h"
#include "platform/window/modal.h"

#include <filesystem>

namespace forms_test {
namespace {

std::pair<int, int> ClientXY(LPARAM l) {
    return {std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))};
}

TEST_F(FormsTest, CaptureRoutesEveryMouseMessageToItsHolderInClientCoordinates) {
    HWND a = Make(kPopup, {100, 100, 300, 300});
    HWND b = Make(kPopup, {400, 100, 600, 300});
    S(a).handler = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) SetCapture(h);
        if (m == WM_LBUTTONUP) ReleaseCapture();
        return std::nullopt;
    };
    gui.Press({150, 150});
    EXPECT_EQ(GetCapture(), a);
    gui.MoveTo({700, 500}); // over no window of the program
    gui.MoveTo({450, 150}); // over another window of the program
    gui.Release({700, 500});
    auto moves = S(a).Of(WM_MOUSEMOVE);
    ASSERT_GE(moves.size(), 3u);
    EXPECT_EQ(ClientXY(moves[moves.size() - 3].l), std::make_pair(600, 400));
    EXPECT_EQ(ClientXY(moves[moves.size() - 2].l), std::make_pair(350, 50));
    EXPECT_EQ(S(b).Count(WM_MOUSEMOVE), 0);
    ASSERT_EQ(S(a).Count(WM_LBUTTONUP), 1);
    EXPECT_EQ(ClientXY(S(a).Of(WM_LBUTTONUP)[0].l), std::make_pair(600, 400));
    EXPECT_EQ(S(a).Count(WM_CAPTURECHANGED), 1);
    EXPECT_EQ(GetCapture(), 0);

    // Without SetCapture, the moves and the release of a button pressed in b stay with b.
    gui.Press({450, 150});
    gui.MoveTo({800, 700});
    gui.Release({800, 700});
    ASSERT_EQ(S(b).Count(WM_LBUTTONUP), 1);
    EXPECT_EQ(ClientXY(S(b).Of(WM_LBUTTONUP)[0].l), std::make_pair(400, 600));
    EXPECT_EQ(ClientXY(S(b).Of(WM_MOUSEMOVE).back().l), std::make_pair(400, 600));
}

TEST_F(FormsTest, DeactivationReleasesTheCaptureWithCancelMode) {
    HWND a = Make(kPopup, {100, 100, 300, 300});
    SetActiveWindow(a);
    SetCapture(a);
    S(a).msgs.clear();
    SetAppActive(false);
    EXPECT_EQ(GetCapture(), 0);
    EXPECT_EQ(S(a).Count(WM_CANCELMODE), 1);
    EXPECT_EQ(S(a).Count(WM_CAPTURECHANGED), 1);
    SetAppActive(true);
}

TEST_F(FormsTest, ClickOnANoActivateWindowRaisesItAndLeavesTheActiveWindow) {
    HWND main = Make(kPopup | WS_CAPTION, {0, 0, 400, 300});
    HWND edit = Make(kChild, {10, 10, 100, 30}, main);
    SetFocus(edit);
    // A floating pop-up like the plug-in editor window: no activation, comes to the front,
    // hands the keyboard focus to its owner.
    HWND tool = Make(WS_POPUP | WS_VISIBLE, {500, 100, 700, 300}, main);
    HWND other = Make(kPopup, {550, 150, 800, 400});
    SetActiveWindow(main);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(TopLevelWindows()[0], other);
    S(tool).msgs.clear();
    S(tool).handler = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_MOUSEACTIVATE) return std::nullopt;
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetFocus(GetWindow(h, GW_OWNER));
        return MA_NOACTIVATE;
    };
    S(main).msgs.clear();
    gui.Click({520, 120});
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(TopLevelWindows()[0], tool);
    EXPECT_EQ(S(tool).Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(S(tool).Count(WM_ACTIVATE), 0);
    EXPECT_EQ(S(main).Count(WM_ACTIVATE), 0);

    // A WS_EX_NOACTIVATE window is never activated by a click either; an ordinary one is.
    HWND palette = Make(kPopup, {0, 400, 100, 500}, 0, RGB(255, 255, 255), 0, WS_EX_NOACTIVATE);
    gui.Click({50, 450});
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(TopLevelWindows()[0], palette); // raised by the layer
    gui.Click({790, 390});
    EXPECT_EQ(GetActiveWindow(), other);
    auto acts = S(other).Of(WM_ACTIVATE);
    ASSERT_FALSE(acts.empty());
    EXPECT_EQ(LOWORD(acts.back().w), WA_CLICKACTIVE);
    (void)palette;
}

TEST_F(FormsTest, ActivationRestoresTheFocusAWindowLastHad) {
    HWND a = Make(kPopup, {0, 0, 200, 200});
    HWND a1 = Make(kChild, {0, 0, 50, 50}, a);
    HWND a2 = Make(kChild, {60, 0, 110, 50}, a);
    HWND b = Make(kPopup, {300, 0, 500, 200});
    SetFocus(a2);
    EXPECT_EQ(GetActiveWindow(), a);
    SetActiveWindow(b);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(S(a2).Count(WM_KILLFOCUS), 1);
    SetActiveWindow(a);
    EXPECT_EQ(GetFocus(), a2);
    // Focusing a child of an inactive window activates it first.
    SetFocus(0);
    SetFocus(a1);
    EXPECT_EQ(GetActiveWindow(), a);
    SetFocus(b);
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);
    // Hiding the active window activates the next one.
    ShowWindow(b, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a1);
}

TEST_F(FormsTest, DoubleClicksFollowTheLayersClockAndDistance) {
    HWND dbl = Make(kPopup, {0, 0, 200, 200}, 0, RGB(255, 255, 255), CS_DBLCLKS);
    HWND plain = Make(kPopup, {300, 0, 500, 200});
    struct Case {
        HWND h;
        TPoint first, second;
        std::uint32_t gap;
        int downs, dbls;
    } cases[] = {
        {dbl, {50, 50}, {50, 50}, 400, 1, 1},     {dbl, {50, 50}, {50, 50}, 600, 2, 0},
        {dbl, {50, 50}, {52, 48}, 100, 1, 1},     {dbl, {50, 50}, {53, 50}, 100, 2, 0},
        {plain, {350, 50}, {350, 50}, 400, 2, 0},
    };
    for (const Case& c : cases) {
        gui.Advance(1000); // forget earlier clicks
        S(c.h).msgs.clear();
        gui.Click(c.first);
        gui.Advance(c.gap);
        gui.Click(c.second);
        EXPECT_EQ(S(c.h).Count(WM_LBUTTONDOWN), c.downs) << c.gap << " ms";
        EXPECT_EQ(S(c.h).Count(WM_LBUTTONDBLCLK), c.dbls) << c.gap << " ms";
        EXPECT_EQ(S(c.h).Count(WM_LBUTTONUP), 2);
    }
    // A third press after a double-click starts over.
    gui.Advance(1000);
    S(dbl).msgs.clear();
    for (int i = 0; i < 3; ++i)
        gui.Click({10, 10});
    EXPECT_EQ(S(dbl).Count(WM_LBUTTONDOWN), 2);
    EXPECT_EQ(S(dbl).Count(WM_LBUTTONDBLCLK), 1);
}

TEST_F(FormsTest, MouseMessagesCarryButtonAndModifierFlags) {
    HWND top = Make(kPopup, {0, 0, 200, 200});
    gui.KeyDown(VK_SHIFT);
    gui.Press({10, 10}, MouseButton::Right);
    gui.KeyUp(VK_SHIFT);
    gui.KeyDown(VK_MENU);
    EXPECT_TRUE(GetKeyState(VK_MENU) & 0x8000);
    gui.Release({10, 10}, MouseButton::Right);
    gui.KeyUp(VK_MENU);
    ASSERT_EQ(S(top).Count(WM_RBUTTONDOWN), 1);
    EXPECT_EQ(S(top).Of(WM_RBUTTONDOWN)[0].w, MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(S(top).Of(WM_RBUTTONUP)[0].w, 0u);
}

TEST_F(FormsTest, AHeldKeyRepeatsWithTheRepeatBitAndReleasesOnce) {
    HWND top = Make(kPopup, {0, 0, 200, 200});
    SetFocus(top);
    gui.HoldKey('A', 600);
    auto downs = S(top).Of(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 5u); // the press, then repeats at 500, 533, 566 and 599 ms
    EXPECT_FALSE(downs[0].l & KF_REPEAT_BIT);
    for (std::size_t i = 1; i < downs.size(); ++i)
        EXPECT_TRUE(downs[i].l & KF_REPEAT_BIT);
    auto ups = S(top).Of(WM_KEYUP);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_TRUE(ups[0].l & KF_UP_BIT);
}

// Keys released while a toolkit dialog had the keyboard: their downs stay in the state unless
// forgotten; a modifier still held stays down, and no message goes anywhere.
TEST_F(FormsTest, KeysReleasedElsewhereAreForgottenButHeldModifiersStay) {
    HWND top = Make(kPopup, {0, 0, 200, 200});
    SetFocus(top);
    for (UINT vk : {UINT(VK_CONTROL), UINT(VK_SHIFT), UINT('O')})
        gui.KeyDown(vk);
    const std::size_t before = S(top).msgs.size();
    ForgetKeysReleasedElsewhere(true, false, false);
    EXPECT_EQ(S(top).msgs.size(), before);
    EXPECT_FALSE(GetKeyState(VK_CONTROL) & 0x8000);
    EXPECT_FALSE(GetKeyState('O') & 0x8000);
    EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
    EXPECT_TRUE(GetKeyState('O') & 1) << "the toggle stays";
    EXPECT_EQ(MouseKeyFlags(), WPARAM(MK_SHIFT));
    gui.KeyUp(VK_SHIFT);
    // Alt then F is the menu key again, not Ctrl+Alt+F.
    gui.KeyDown(VK_MENU);
    gui.KeyDown('F');
    ASSERT_GE(S(top).Count(WM_SYSKEYDOWN), 2);
    EXPECT_EQ(S(top).Of(WM_SYSKEYDOWN).back().w, WPARAM('F'));
    gui.KeyUp('F');
    gui.KeyUp(VK_MENU);
}

TEST_F(FormsTest, SystemKeysCharactersAndKeypadCodes) {
    HWND top = Make(kPopup, {0, 0, 200, 200});
    SetFocus(top);
    gui.Chord({VK_MENU, 'F'});
    gui.Key(VK_F10);
    gui.Chord({VK_CONTROL, VK_MENU, 'Q'}); // AltGr-like: an ordinary key-down
    gui.Key(VK_NUMPAD1);
    gui.Key('1');
    gui.Key(VK_OEM_102);
    RouteChar(U'\u00e9');
    auto sys = S(top).Of(WM_SYSKEYDOWN);
    std::vector<WPARAM> sysKeys;
    for (auto& m : sys)
        sysKeys.push_back(m.w);
    EXPECT_EQ(sysKeys, (std::vector<WPARAM>{VK_MENU, 'F', VK_F10}));
    EXPECT_TRUE(sys[1].l & KF_ALTDOWN_BIT);
    std::vector<WPARAM> keys;
    for (auto& m : S(top).Of(WM_KEYDOWN))
        keys.push_back(m.w);
    EXPECT_EQ(keys, (std::vector<WPARAM>{VK_CONTROL, VK_MENU, 'Q', VK_NUMPAD1, '1', 226}));
    ASSERT_EQ(S(top).Count(WM_CHAR), 1);
    EXPECT_EQ(S(top).Of(WM_CHAR)[0].w, 0xE9u);
}

TEST_F(FormsTest, WheelReachesTheFocusedWindowAndBubblesToItsParent) {
    HWND parent = Make(kPopup, {0, 0, 300, 300});
    HWND focused = Make(kChild, {10, 10, 100, 100}, parent);
    HWND elsewhere = Make(kPopup, {400, 400, 600, 600});
    SetFocus(focused);
    gui.Wheel({500, 500}, -WHEEL_DELTA); // over another window
    ASSERT_EQ(S(focused).Count(WM_MOUSEWHEEL), 1);
    auto m = S(focused).Of(WM_MOUSEWHEEL)[0];
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m.w), -120);
    EXPECT_EQ(ClientXY(m.l), std::make_pair(500, 500));
    ASSERT_EQ(S(parent).Count(WM_MOUSEWHEEL), 1); // passed on by the default procedure
    EXPECT_EQ(S(parent).Of(WM_MOUSEWHEEL)[0].w, m.w);
    EXPECT_EQ(S(elsewhere).Count(WM_MOUSEWHEEL), 0);
    // A window that handles the wheel keeps it.
    S(focused).handler = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_MOUSEWHEEL) return 0;
        return std::nullopt;
    };
    gui.Wheel({50, 50}, WHEEL_DELTA);
    EXPECT_EQ(S(parent).Count(WM_MOUSEWHEEL), 1);
}

TEST_F(FormsTest, KeyDownsGoToHotKeysShortcutsKeyPreviewDialogKeysThenTheFocus) {
    HWND form = Make(kPopup, {0, 0, 300, 300});
    HWND edit = Make(kChild, {10, 10, 100, 30}, form);
    HWND ok = Make(kChild, {10, 50, 100, 70}, form);
    HWND cancel = Make(kChild, {10, 80, 100, 100}, form);
    HWND other = Make(kPopup, {400, 0, 500, 100});
    SetFocus(edit);
    ASSERT_TRUE(RegisterHotKey(other, 5, MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_FALSE(RegisterHotKey(form, 6, MOD_CONTROL | MOD_ALT, 'K')); // taken
    std::vector<UINT> shortcuts;
    ShortcutHook framework = SetShortcutHook([&](HWND top, UINT vk, UINT mods) {
        EXPECT_EQ(top, form);
        if (vk == 'S' && mods == MOD_CONTROL) {
            shortcuts.push_back(vk);
            return true;
        }
        return false;
    });
    SetKeyPreview(form, true);
    S(form).handler = [](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == CM_KEYPREVIEW) return w == 'P' ? 1 : 0;
        return std::nullopt;
    };
    SetDialogButtons(form, ok, cancel);

    gui.Chord({VK_CONTROL, VK_MENU, 'K'});
    gui.Chord({VK_CONTROL, 'S'});
    gui.Key('P');
    gui.Key(VK_RETURN);
    gui.Key(VK_ESCAPE);
    gui.Key('X');
    SetShortcutHook(std::move(framework));

    ASSERT_EQ(S(other).Count(WM_HOTKEY), 1);
    EXPECT_EQ(S(other).Of(WM_HOTKEY)[0].w, 5u);
    EXPECT_EQ(S(other).Of(WM_HOTKEY)[0].l, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_EQ(shortcuts, std::vector<UINT>{'S'});
    EXPECT_EQ(S(ok).Count(BM_CLICK), 1);
    EXPECT_EQ(S(cancel).Count(BM_CLICK), 1);
    std::vector<WPARAM> previewed, reached;
    for (auto& m : S(form).Of(CM_KEYPREVIEW))
        previewed.push_back(m.w);
    for (auto& m : S(edit).Of(WM_KEYDOWN))
        reached.push_back(m.w);
    EXPECT_EQ(previewed, (std::vector<WPARAM>{VK_CONTROL, VK_MENU, VK_CONTROL, 'P', VK_RETURN,
                                              VK_ESCAPE, 'X'}));
    EXPECT_EQ(reached, (std::vector<WPARAM>{VK_CONTROL, VK_MENU, VK_CONTROL, 'X'}));

    // A control that wants every key keeps Enter.
    S(edit).handler = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
        return std::nullopt;
    };
    gui.Key(VK_RETURN);
    EXPECT_EQ(S(ok).Count(BM_CLICK), 1);
    EXPECT_EQ(S(edit).Of(WM_KEYDOWN).back().w, VK_RETURN);
}

TEST_F(FormsTest, APostedMessageAndATimerAreServedInsideAModalLoop) {
    HWND main = Make(kPopup, {0, 0, 400, 300});
    HWND dialog = Make(WS_POPUP | WS_CAPTION, {100, 100, 300, 200}, main);
    SetWindowText(dialog, "Options");
    ShowWindow(dialog, SW_SHOW);
    bool closed = false;
    int postedAtLevel = -1, timerAtLevel = -1;
    bool mainEnabledInside = true;
    S(dialog).handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 7) postedAtLevel = ModalLevel();
        if (m == WM_TIMER) {
            timerAtLevel = ModalLevel();
            mainEnabledInside = IsWindowEnabled(main);
            KillTimer(h, 1);
            closed = true;
        }
        return std::nullopt;
    };
    gui.OnModal("Options", [&](HWND form) {
        PostMessage(form, WM_USER + 7, 0, 0);
        SetTimer(form, 1, 250);
    });
    RunModalLoop(dialog, [&] { return closed; });
    EXPECT_EQ(postedAtLevel, 1);
    EXPECT_EQ(timerAtLevel, 1);
    EXPECT_FALSE(mainEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(ModalLevel(), 0);

    // A click on the disabled main window during a modal loop goes nowhere.
    closed = false;
    gui.OnModal("Options", [&](HWND) {
        gui.Click({10, 10});
        closed = true;
    });
    S(main).msgs.clear();
    RunModalLoop(dialog, [&] { return closed; });
    EXPECT_EQ(S(main).Count(WM_LBUTTONDOWN), 0);
}

TEST_F(FormsTest, DragAndDropBetweenControlsOfTheProgram) {
    HWND form = Make(kPopup, {0, 0, 400, 300});
    HWND list = Make(kChild, {10, 10, 110, 200}, form);
    HWND target = Make(kChild, {200, 10, 300, 200}, form);
    HWND refuses = Make(kChild, {310, 10, 390, 200}, form);
    S(list).handler = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) BeginDrag(h, false);
        return std::nullopt;
    };
    std::vector<WPARAM> kinds;
    TDragRecord dropped;
    S(target).handler = [&](HWND, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m != CM_DRAG) return std::nullopt;
        auto* rec = reinterpret_cast<TDragRecord*>(l);
        kinds.push_back(w);
        rec->Accept = true;
        if (w == dmDragDrop) dropped = *rec;
        return 0;
    };
    TDragRecord ended;
    S(list).handler = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) BeginDrag(h, false);
        if (m == CM_DRAG && w == dmEndDrag) ended = *reinterpret_cast<TDragRecord*>(l);
        return std::nullopt;
    };
    // A click without moving is a click.
    gui.Click(gui.At(list, 5, 5));
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(S(list).Count(WM_LBUTTONUP), 1);

    gui.Press(gui.At(list, 5, 5));
    gui.MoveTo(gui.At(list, 5, 12));
    EXPECT_TRUE(Dragging());
    gui.MoveTo(gui.At(refuses, 5, 5));
    EXPECT_EQ(GetCursor(), IDC_NODROP);
    gui.MoveTo(gui.At(target, 20, 30));
    EXPECT_EQ(GetCursor(), IDC_DRAG);
    gui.Release(gui.At(target, 20, 30));
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(kinds, (std::vector<WPARAM>{dmDragEnter, dmDragMove, dmDragMove, dmDragDrop}));
    EXPECT_EQ(dropped.Source, list);
    EXPECT_EQ(dropped.Pos, (TPoint{20, 30}));
    EXPECT_EQ(ended.Target, target);
    EXPECT_EQ(GetCursor(), IDC_ARROW);

    // Escape cancels: the source hears of it with no target.
    gui.Press(gui.At(list, 5, 5));
    gui.MoveTo(gui.At(target, 5, 5));
    gui.Key(VK_ESCAPE);
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(ended.Target, 0);
    gui.Release(gui.At(target, 5, 5));
    EXPECT_EQ(kinds.back(), dmDragLeave);
}

TEST_F(FormsTest, FilesDroppedFromOutsideReachTheWindowThatAcceptsThem) {
    HWND form = Make(kPopup, {0, 0, 400, 300});
    HWND child = Make(kChild, {10, 10, 110, 200}, form);
    DragAcceptFiles(form, true);
    std::vector<std::string> got;
    TPoint at;
    S(form).handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_DROPFILES) return std::nullopt;
        HDROP drop = w;
        UINT n = DragQueryFile(drop, 0xFFFFFFFF, nullptr);
        for (UINT i = 0; i < n; ++i) {
            std::string p;
            DragQueryFile(drop, i, &p);
            got.push_back(p);
        }
        DragQueryPoint(drop, &at);
        DragFinish(drop);
        return 0;
    };
    RouteFileDrop(20, 20, {"/tmp/a song.seq", "relative.mid"});
    gui.Pump();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "/tmp/a song.seq");
    EXPECT_EQ(got[1], (std::filesystem::current_path() / "relative.mid").string());
    EXPECT_EQ(at, (TPoint{20, 20}));
    EXPECT_EQ(S(child).Count(WM_DROPFILES), 0);
    DragAcceptFiles(form, false);
    RouteFileDrop(20, 20, {"/tmp/x"});
    gui.Pump();
    EXPECT_EQ(got.size(), 2u);
}

TEST_F(FormsTest, CursorsFromClassesTheScreenOverrideAndCustomImages) {
    WNDCLASS wc;
    wc.lpszClassName = "IBeamed";
    wc.hCursor = LoadCursor(0, IDC_IBEAM);
    RegisterClass(wc);
    HWND top = Make(kPopup, {0, 0, 200, 200});
    HWND edit = CreateWindowEx(0, "IBeamed", "", kChild, 10, 10, 50, 20, top);
    gui.MoveTo(gui.At(edit, 5, 5));
    EXPECT_EQ(GetCursor(), IDC_IBEAM);
    gui.MoveTo(gui.At(top, 150, 150));
    EXPECT_EQ(GetCursor(), IDC_ARROW);
    SetScreenCursor(CursorOf(crHourGlass));
    gui.MoveTo(gui.At(edit, 5, 5));
    EXPECT_EQ(GetCursor(), IDC_WAIT);
    SetScreenCursor(0);
    EXPECT_EQ(GetCursor(), IDC_IBEAM);
    HCURSOR custom = RegisterCursor(5, "cursors/pencil.bmp", {1, 14});
    EXPECT_EQ(CursorOf(5), custom);
    ASSERT_NE(FindCursorImage(custom), nullptr);
    EXPECT_EQ(FindCursorImage(custom)->hotSpot, (TPoint{1, 14}));
    EXPECT_EQ(FindCursorImage(IDC_ARROW), nullptr);
    UnregisterClass("IBeamed");
}

TEST_F(FormsTest, MdiChildrenActivateOnClickFocusAndWhenTheActiveOneGoes) {
    HWND frame = Make(kPopup, {0, 0, 600, 400});
    HWND client = Make(kChild, {0, 0, 600, 400}, frame);
    const DWORD mdi = WS_EX_MDICHILD;
    HWND a = Make(kChild | WS_CAPTION, {10, 10, 210, 160}, client, RGB(255, 255, 255), 0, mdi);
    HWND b = Make(kChild | WS_CAPTION, {100, 50, 300, 200}, client, RGB(255, 255, 255), 0, mdi);
    HWND field = Make(kChild, {5, 5, 50, 25}, a);
    MdiActivate(b);
    EXPECT_EQ(MdiGetActive(client), b);
    gui.Click(gui.At(a, 5, 100));
    EXPECT_EQ(MdiGetActive(client), a);
    EXPECT_EQ(ChildWindows(client)[0], a);
    auto acts = S(a).Of(WM_MDIACTIVATE);
    ASSERT_FALSE(acts.empty());
    EXPECT_EQ(HWND(acts.back().w), b);
    EXPECT_EQ(acts.back().l, a);
    MdiActivate(b);
    SetFocus(field);
    EXPECT_EQ(MdiGetActive(client), a);
    DestroyWindow(a);
    EXPECT_EQ(MdiGetActive(client), b);
}

TEST_F(FormsTest, PointerEntersAndLeavesWindowsAndGraphicControls) {
    struct Hover : GraphicControl {
        using GraphicControl::GraphicControl;
        void MouseEnter() override { events.push_back("enter"); }
        void MouseLeave() override { events.push_back("leave"); }
        std::vector<std::string> events;
    };
    HWND top = Make(kPopup, {0, 0, 300, 300});
    HWND child = Make(kChild, {10, 10, 110, 110}, top);
    Hover g(top);
    g.SetBounds({150, 150, 200, 200});
    g.SetVisible(true);
    gui.MoveTo(gui.At(child, 5, 5));
    gui.MoveTo(gui.At(top, 160, 160));
    gui.MoveTo(gui.At(top, 250, 250));
    EXPECT_EQ(S(child).Count(CM_MOUSEENTER), 1);
    EXPECT_EQ(S(child).Count(WM_MOUSELEAVE), 1);
    EXPECT_EQ(S(child).Count(CM_MOUSELEAVE), 1);
    EXPECT_EQ(g.events, (std::vector<std::string>{"enter", "leave"}));
    EXPECT_EQ(S(top).Count(WM_MOUSELEAVE), 0);
    gui.MoveTo({900, 700});
    EXPECT_EQ(S(top).Count(WM_MOUSELEAVE), 1);
}

TEST_F(FormsTest, ThePresenterHearsOfTopLevelWindowsSurfacesCursorAndCapture) {
    struct Recorder : Presenter {
        std::vector<std::string> log;
        void WindowCreated(HWND) override { log.push_back("created"); }
        void WindowDestroyed(HWND) override { log.push_back("destroyed"); }
        void WindowMoved(HWND, const TRect& r) override {
            log.push_back("moved " + std::to_string(r.Left) + "," + std::to_string(r.Top));
        }
        void WindowShown(HWND, bool activate) override {
            log.push_back(activate ? "shown" : "shown quietly");
        }
        void WindowHidden(HWND) override { log.push_back("hidden"); }
        void WindowActivated(HWND) override { log.push_back("activated"); }
        void SurfaceUpdated(HWND, const TRect& r) override {
            log.push_back("surface " + std::to_string(r.Width()) + "x" +
                          std::to_string(r.Height()));
        }
        void CursorChanged(HCURSOR c) override { log.push_back("cursor " + std::to_string(c)); }
        void CaptureChanged(HWND h) override { log.push_back(h ? "capture" : "released"); }
    } rec;
    Presenter* old = SetPresenter(&rec);
    HWND top = Make(WS_POPUP, {10, 10, 110, 60});
    ShowWindow(top, SW_SHOWNOACTIVATE);
    gui.Pump();
    MoveWindow(top, 20, 30, 100, 50, true);
    InvalidateRect(top, &(const TRect&)TRect{0, 0, 10, 5}, false);
    gui.Pump();
    SetCapture(top);
    ReleaseCapture();
    SetScreenCursor(IDC_WAIT);
    SetScreenCursor(0);
    DestroyWindow(top);
    SetPresenter(old);
    std::vector<std::string> want{"created",
                                  "shown quietly",
                                  "surface 100x50",
                                  "moved 20,30",
                                  "surface 10x5",
                                  "capture",
                                  "released",
                                  "cursor " + std::to_string(IDC_WAIT),
                                  "cursor " + std::to_string(IDC_ARROW),
                                  "hidden",
                                  "destroyed"};
    EXPECT_EQ(rec.log, want);
}

} // namespace
} // namespace forms_test
